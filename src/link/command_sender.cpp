#include "link/command_sender.h"

#include "link/frame.h"

namespace talvex {

CommandSender::CommandSender(ParameterModel& model, LinkState& link)
    : model_(model), link_(link)
{
    text_.reserve(frame::kGroupSize + frame::kOverhead);
}

void CommandSender::AddSendstrHead(int operation, int index, int command, int subIndex, int length)
{
    int address = deviceAddress;
    if (command == frame::kCmdMeters && broadcast)
        address = selectedAddress(); // meters always come from the selected device
    if (readBackOverride) {
        readBackOverride = false;
        address = selectedAddress();
    }
    text_.clear();
    CleanSendhidbuf();
    report_[0] = 0;
    for (int i = 0; i < 3; ++i)
        appendByte(frame::kStart);
    appendByte(std::uint8_t(address));
    checksum_ = address & 0xFF;
    for (int field : {operation, index, command, subIndex, length >> 8, length & 0xFF}) {
        appendByte(std::uint8_t(field));
        checksum_ ^= field & 0xFF;
    }
}

void CommandSender::appendByte(std::uint8_t value)
{
    if (text_.size() + 1 < report_.size())
        report_[text_.size() + 1] = value;
    text_.push_back(value);
}

void CommandSender::finishFrame()
{
    appendByte(std::uint8_t(checksum_ & 0xFF));
    appendByte(frame::kEnd);
}

void CommandSender::transmit()
{
    if (!transport_)
        return;
    if (transport_->usbActive())
        transport_->writeHidReport(report_);
    else
        transport_->writeSerial(text_);
}

void CommandSender::Send_Readcmd_tomcu(int index, int command, int subIndex)
{
    if (!link_.connected)
        return;
    AddSendstrHead(frame::kOpRead, index, command, subIndex, 0);
    finishFrame();
    transmit();
}

void CommandSender::Send_Write8Byte_CmdtoMCU(int index, int command, int subIndex, std::span<const int, 8> values)
{
    if (!link_.connected)
        return;
    AddSendstrHead(frame::kOpWrite, index, command, subIndex, 8);
    for (int v : values) {
        appendByte(std::uint8_t(v & 0xFF));
        checksum_ ^= v & 0xFF;
    }
    finishFrame();
    transmit();
}

void CommandSender::Send_WriteProName_CmttoMCU()
{
    if (!link_.connected)
        return;
    const int preset = model_.systemRecord[0];
    AddSendstrHead(frame::kOpWrite, preset, frame::kCmdWritePresetName, 0, kPresetNameLength);
    // Entry 0 is 1..20 whenever a save queued this write; anything else reads row 1.
    const auto& name = model_.presetNames[preset >= 1 && preset <= kPresetCount ? preset - 1 : 0];
    for (std::uint8_t c : name) {
        appendByte(c);
        checksum_ ^= c;
    }
    finishFrame();
    transmit();
}

void CommandSender::Send_Data_toMCU(int chunk)
{
    if (broadcast)
        link_.noReplyCount = 0;
    int command = -1;
    int subIndex = 0;
    if (chunk >= 0 && chunk <= 17) {
        command = 0;
        subIndex = chunk;
    } else if (chunk >= 18 && chunk <= 36) {
        command = 1;
        subIndex = chunk - 18;
    } else if (chunk >= 37 && chunk <= 55) {
        command = 2;
        subIndex = chunk - 37;
    } else if (chunk >= 56 && chunk <= 74) {
        command = 3;
        subIndex = chunk - 56;
    }
    if (command >= 0) {
        Send_Write8Byte_CmdtoMCU(0, command, subIndex, std::span<const int, 8>(&model_.image[8 * chunk], 8));
    } else if (chunk == kPresetNameChunk) {
        if (presetNameWriter_)
            presetNameWriter_();
        else
            Send_WriteProName_CmttoMCU();
    } else if (chunk == kSystemRecordChunk) {
        Send_Write8Byte_CmdtoMCU(0, frame::kCmdWriteSystemRecord, 0,
                                 std::span<const int, 8>(model_.systemRecord.data(), 8));
        // The device answers at its new ID from now on, in broadcast mode too.
        deviceAddress = model_.systemRecord[3] - 1;
    }
    // 75, 76, 77, 80, 81: nothing to send.
}

void CommandSender::sendBlockWrite(int index, int command, std::span<const std::uint8_t, 640> data)
{
    AddSendstrHead(frame::kOpWrite, index, command, 0, int(frame::kGroupSize));
    transmit(); // the head goes out alone
    text_.clear();
    for (std::size_t i = 0; i < data.size(); ++i) {
        block_[i] = data[i];
        text_.push_back(data[i]);
        checksum_ ^= data[i];
    }
    block_[640] = std::uint8_t(checksum_ & 0xFF);
    block_[641] = frame::kEnd;
    text_.push_back(block_[640]);
    text_.push_back(block_[641]);
    if (transport_) {
        if (transport_->usbActive())
            transport_->writeHidBlock(block_);
        else
            transport_->writeSerial(text_);
    }
}

void CommandSender::sendSchedulerTick()
{
    if (!link_.connected)
        return;
    const int chunk = model_.lowestPending();
    if (chunk < 0) {
        Send_Readcmd_tomcu(0, frame::kCmdMeters, 0);
        return;
    }
    Send_Data_toMCU(chunk);
    model_.pending[chunk] = false;
}

} // namespace talvex
