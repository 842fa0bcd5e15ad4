// The automation description of the stylpad control: its type library
// STYLPADLib, the control class Stylpad ("STYLPAD.StylPadCtrl.1"), the
// dispatch interface _DStylpad (three persisted properties, sixteen methods
// and AboutBox) and the event interface _DStylpadEvents (four events). The
// Linux API and the Windows control take the members from here.
#pragma once

#include <array>

#include "automation/table.h"

namespace pink::signpad::styl {

using automation::Dir;
using automation::Member;
using automation::Param;
using automation::Type;

// Methods and properties.
inline constexpr std::int32_t kDispProcessClock = 1;
inline constexpr std::int32_t kDispFrameWidth = 2;
inline constexpr std::int32_t kDispFrameHeight = 3;
inline constexpr std::int32_t kDispOpenSign = 4;
inline constexpr std::int32_t kDispSetAmt = 5;
inline constexpr std::int32_t kDispGetSigndata = 6;
inline constexpr std::int32_t kDispAcceptSign = 7;
inline constexpr std::int32_t kDispClr = 8;
inline constexpr std::int32_t kDispNoSign = 9;
inline constexpr std::int32_t kDispSetImgName = 10;
inline constexpr std::int32_t kDispOpenPinpad = 11;
inline constexpr std::int32_t kDispPinpadValue = 12;
inline constexpr std::int32_t kDispCheckConfirm = 13;
inline constexpr std::int32_t kDispGetRtnVal = 14;
inline constexpr std::int32_t kDispSetPinLen = 15;
inline constexpr std::int32_t kDispExitPinPad = 16;
inline constexpr std::int32_t kDispAboutBox = -552;  // DISPID_ABOUTBOX

// Events.
inline constexpr std::int32_t kEventHandleSize = 1;
inline constexpr std::int32_t kEventGetOCXMsg = 2;
inline constexpr std::int32_t kEventErrCode = 3;
inline constexpr std::int32_t kEventReadyToSign = 4;

inline constexpr std::array<Param, 1> kBoolValue{{{"processClock", Type::Bool, Dir::In}}};
inline constexpr std::array<Param, 1> kWidthValue{{{"signpadframWidth", Type::I2, Dir::In}}};
inline constexpr std::array<Param, 1> kHeightValue{{{"signpadframHeight", Type::I2, Dir::In}}};
inline constexpr std::array<Param, 3> kOpenSignParams{{
    {"LogPath", Type::Str, Dir::In}, {"ComPort", Type::I4, Dir::In}, {"outamt", Type::Str, Dir::In}}};
inline constexpr std::array<Param, 1> kSetAmtParams{{{"amt", Type::I4, Dir::InOut}}};
inline constexpr std::array<Param, 1> kSetImgNameParams{{{"BmpName", Type::Str, Dir::In}}};
inline constexpr std::array<Param, 2> kOpenPinpadParams{{{"LogPath", Type::Str, Dir::In}, {"com", Type::I4, Dir::In}}};
inline constexpr std::array<Param, 1> kSetPinLenParams{{{"PinLen", Type::Str, Dir::In}}};

inline constexpr Member kMembers[] = {
    {"processClock", kDispProcessClock, automation::kGet, {}, Type::Bool},
    {"processClock", kDispProcessClock, automation::kPut, kBoolValue, Type::Empty},
    {"signpadframWidth", kDispFrameWidth, automation::kGet, {}, Type::I2},
    {"signpadframWidth", kDispFrameWidth, automation::kPut, kWidthValue, Type::Empty},
    {"signpadframHeight", kDispFrameHeight, automation::kGet, {}, Type::I2},
    {"signpadframHeight", kDispFrameHeight, automation::kPut, kHeightValue, Type::Empty},
    {"OpenSign", kDispOpenSign, automation::kMethod, kOpenSignParams, Type::I4},
    {"setamt", kDispSetAmt, automation::kMethod, kSetAmtParams, Type::Empty},
    {"GetSigndata", kDispGetSigndata, automation::kMethod, {}, Type::Str},
    {"AcceptSign", kDispAcceptSign, automation::kMethod, {}, Type::I4},
    {"Clr", kDispClr, automation::kMethod, {}, Type::I4},
    {"NoSign", kDispNoSign, automation::kMethod, {}, Type::I4},
    {"SetImgName", kDispSetImgName, automation::kMethod, kSetImgNameParams, Type::I4},
    {"OpenPinpad", kDispOpenPinpad, automation::kMethod, kOpenPinpadParams, Type::I4},
    {"pinpadValue", kDispPinpadValue, automation::kMethod, {}, Type::Str},
    {"checkConfirm", kDispCheckConfirm, automation::kMethod, {}, Type::I2},
    {"GetRtnVal", kDispGetRtnVal, automation::kMethod, {}, Type::I4},
    {"SetPinLen", kDispSetPinLen, automation::kMethod, kSetPinLenParams, Type::Empty},
    {"ExitPinPad", kDispExitPinPad, automation::kMethod, {}, Type::I4},
    {"AboutBox", kDispAboutBox, automation::kMethod, {}, Type::Empty},
};

inline constexpr std::array<Param, 2> kHandleSizeParams{{{"x", Type::I4, Dir::InOut}, {"y", Type::I4, Dir::InOut}}};
inline constexpr std::array<Param, 1> kGetOCXMsgParams{{{"OcxMsg", Type::Str, Dir::In}}};
inline constexpr std::array<Param, 2> kErrCodeParams{{{"err", Type::I4, Dir::In}, {"errMsg", Type::Str, Dir::In}}};
inline constexpr std::array<Param, 1> kReadyParams{{{"flag", Type::Str, Dir::In}}};

inline constexpr Member kEvents[] = {
    {"HandleSize", kEventHandleSize, automation::kMethod, kHandleSizeParams, Type::Empty},
    {"GetOCXMsg", kEventGetOCXMsg, automation::kMethod, kGetOCXMsgParams, Type::Empty},
    {"errCode", kEventErrCode, automation::kMethod, kErrCodeParams, Type::Empty},
    {"readyTOsignAction", kEventReadyToSign, automation::kMethod, kReadyParams, Type::Empty},
};

inline constexpr automation::ClassInfo kClass{
    "Stylpad",
    "Stylpad Control",
    "{562E8386-30A9-451E-9B75-DD0048C4B083}",
    "STYLPAD.StylPadCtrl.1",
    "STYLPAD.StylPadCtrl",
    {"STYLPADLib", "{5665F18E-A208-46A8-B372-67ED0ADABB5D}", 1, 0, "Stylpad ActiveX Control module"},
    {"_DStylpad", "{2AF05332-712B-4C6A-BC80-4D31D5051BD7}", false, kMembers},
    {"_DStylpadEvents", "{9386619E-5EEC-437A-BE4B-50E5EFE4A3B9}", false, kEvents},
};

// The control's property page, which the Windows control registers beside it.
inline constexpr const char* kPropertyPageProgId = "STYLPAD.StylPadPropPage.1";
inline constexpr const char* kPropertyPageClsid = "{90F30C5A-162B-4E7F-99D2-A35888A46BA1}";
// The class of the control's window and code.
inline constexpr const char* kControlClassName = "CStylpadCtrl";

static_assert(automation::class_fault(kClass) == nullptr, "the member table is not well formed");
static_assert(std::size(kMembers) == 20 && std::size(kEvents) == 4);

}  // namespace pink::signpad::styl
