#pragma once
// Builds command frames into the process-wide transmit buffers, chooses the
// device address each frame carries, and hands the frame to the active
// transport. Also the send scheduler: one pending chunk per tick, or a meter read.

#include "link/frame_transport.h"
#include "link/link_state.h"
#include "model/parameter_model.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace talvex {

class CommandSender {
public:
    CommandSender(ParameterModel& model, LinkState& link);

    void setTransport(FrameTransport* transport) { transport_ = transport; }
    // Item index of the Device ID selector (the selected device's address).
    void setSelectedAddress(std::function<int()> selectedAddress) { selectedAddress_ = std::move(selectedAddress); }
    // Runs for pending flag 78 instead of the bare name write, so the window can
    // wrap the frame in its pauses and message.
    void setPresetNameWriter(std::function<void()> writer) { presetNameWriter_ = std::move(writer); }

    // Address state.
    int deviceAddress = 0;
    bool broadcast = false;
    bool readBackOverride = false;

    void AddSendstrHead(int operation, int index, int command, int subIndex, int length);
    void CleanSendhidbuf() { report_.fill(0); }
    void Send_Readcmd_tomcu(int index, int command, int subIndex);
    void Send_Write8Byte_CmdtoMCU(int index, int command, int subIndex, std::span<const int, 8> values);
    void Send_Data_toMCU(int chunk);
    void Send_WriteProName_CmttoMCU();
    // Block write of one group: the head goes out alone, then the 640 bytes with
    // checksum (over head and data) and end byte. The caller checks the link is up.
    void sendBlockWrite(int index, int command, std::span<const std::uint8_t, 640> data);

    // Tick of the send-pulse timer.
    void sendSchedulerTick();

    void clearTransmitText() { text_.clear(); }
    const std::array<std::uint8_t, 65>& transmitReport() const { return report_; }
    const std::vector<std::uint8_t>& transmitText() const { return text_; }
    const std::array<std::uint8_t, 642>& blockBuffer() const { return block_; }

private:
    void appendByte(std::uint8_t value);
    void finishFrame();
    void transmit();
    int selectedAddress() const { return selectedAddress_ ? selectedAddress_() : 0; }

    ParameterModel& model_;
    LinkState& link_;
    FrameTransport* transport_ = nullptr;
    std::function<int()> selectedAddress_;
    std::function<void()> presetNameWriter_;

    std::array<std::uint8_t, 65> report_{};
    std::vector<std::uint8_t> text_;
    std::array<std::uint8_t, 642> block_{};
    int checksum_ = 0;
};

} // namespace talvex
