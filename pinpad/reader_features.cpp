#include "reader_features.h"

#include <cstring>

namespace pinpad {

namespace {

constexpr std::uint16_t kLcdLayout = 0x0000;   // no display
constexpr std::uint8_t kValidationKey = 0x02;  // entry ends with the OK key
constexpr std::uint8_t kTimeOut2 = 0;
constexpr std::uint8_t kMinPinSize = 1;
constexpr std::uint16_t kIdVendor = 0xFFFF;
constexpr std::uint16_t kIdProduct = 0x0002;
constexpr const char* kFirmwareId = "velk-pinpad 1";

// PCSCv2_PART10_PROPERTY_* tags of reader.h.
enum PropertyTag : std::uint8_t {
    kLcdLayoutTag = 1,
    kEntryValidationConditionTag = 2,
    kTimeOut2Tag = 3,
    kMinPinSizeTag = 6,
    kMaxPinSizeTag = 7,
    kFirmwareIdTag = 8,
    kIdVendorTag = 11,
    kIdProductTag = 12,
};

void putLe(Bytes& out, std::uint8_t tag, std::uint32_t value, std::uint8_t size) {
    out.push_back(tag);
    out.push_back(size);
    for (std::uint8_t i = 0; i < size; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

Bytes featureList() {
    Bytes out;
    for (const std::uint8_t tag : {kFeatureVerifyPinDirect, kFeatureModifyPinDirect,
                                   kFeatureIfdPinProperties, kFeatureGetTlvProperties}) {
        const std::uint32_t code = featureCode(tag);
        out.insert(
            out.end(),
            {tag, 4, static_cast<std::uint8_t>(code >> 24), static_cast<std::uint8_t>(code >> 16),
             static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code)});
    }
    return out;
}

Bytes pinProperties() {
    return {static_cast<std::uint8_t>(kLcdLayout), static_cast<std::uint8_t>(kLcdLayout >> 8),
            kValidationKey, kTimeOut2};
}

Bytes tlvProperties() {
    Bytes out;
    putLe(out, kLcdLayoutTag, kLcdLayout, 2);
    putLe(out, kEntryValidationConditionTag, kValidationKey, 1);
    putLe(out, kTimeOut2Tag, kTimeOut2, 1);
    putLe(out, kMinPinSizeTag, kMinPinSize, 1);
    putLe(out, kMaxPinSizeTag, kMaxKeypadDigits, 1);
    putLe(out, kIdVendorTag, kIdVendor, 2);
    putLe(out, kIdProductTag, kIdProduct, 2);
    out.push_back(kFirmwareIdTag);
    out.push_back(static_cast<std::uint8_t>(std::strlen(kFirmwareId)));
    out.insert(out.end(), kFirmwareId, kFirmwareId + std::strlen(kFirmwareId));
    return out;
}

}  // namespace pinpad
