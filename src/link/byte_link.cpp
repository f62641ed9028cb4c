#include "link/byte_link.h"

#include "link/serial_byte_link.h"
#include "link/tcp_byte_link.h"

namespace talvex {

ByteLink::~ByteLink() = default;

bool isNetworkLocation(const QString& location)
{
    return location.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive);
}

std::unique_ptr<ByteLink> makeBusByteLink(const QString& location)
{
    if (isNetworkLocation(location))
        return std::make_unique<TcpByteLink>();
    return std::make_unique<SerialByteLink>();
}

} // namespace talvex
