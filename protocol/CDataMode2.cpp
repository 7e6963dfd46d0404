// CData: the navigation import mode (ids 8, 10 and 12 of a port in test mode). Until the navigation
// engine takes these messages, they are decoded into the set's records and accepted.
#include "protocol/CData.h"

int CData::ImportNavigationInput(std::span<const std::uint8_t> message, std::size_t length, int byteOrder)
{
    switch (currentId)
    {
    case kIdMeas:
        DecodeMeas(message, length, byteOrder);
        break;
    case kIdSubframe:
        DecodeSubframe(message, byteOrder);
        break;
    case kIdSatData:
        DecodeSatData(message, length, byteOrder);
        break;
    default:
        break;
    }
    return kImportAccepted;
}
