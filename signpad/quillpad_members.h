// The automation description of the quillpad control: its class Quillpad in
// the type library QUILLPADLib, the dispatch interface _DQuillpad (five
// properties and ten methods, DISPIDs 1 to 15) and the event interface
// _DQuillpadEvents (six events without arguments). The Linux API and the
// Windows control take the control's members from here.
//
// Methods report device failures in their results or in their nSuccess
// out-argument and fire events; none raises an automation error for them.
#pragma once

#include <array>
#include <cstdint>

#include "automation/table.h"

namespace pink::signpad::quill {

using automation::Dir;
using automation::Param;
using automation::Type;

enum Dispid : std::int32_t {
  kDispCustInfoData = 1,     // strCustInfoData: BSTR property
  kDispPinData = 2,          // strPinData: BSTR property
  kDispPassWordType = 3,     // passWordType: short property
  kDispSignStarted = 4,      // strYNSignStarted: BSTR property
  kDispLog = 5,              // strYNLog: BSTR property
  kDispElecSign = 6,         // short QuillElecSign(BSTR strCardNo, BSTR strTrInfo)
  kDispSetPortNo = 7,        // short SetPortNo(short nNewVal)
  kDispSetBaudRate = 8,      // short SetBaudRate(long nNewVal)
  kDispGetSignBMP = 9,       // short QuillGetSignBMP(BSTR strCardNo, BSTR strTrInfo, BSTR strFileName)
  kDispGetSignData = 10,     // VARIANT QuillGetSignData(short* nSuccess): byte array
  kDispGetCustInfo = 11,     // short QuillGetCustInfo()
  kDispGetCustInfoData = 12, // VARIANT QuillGetCustInfoData(short* nSuccess): byte array
  kDispCancel = 13,          // short QuillCancel()
  kDispGetPin = 14,          // short QuillGetPin(BSTR strCardNo, BSTR strAmount, BSTR strWorkingKey)
  kDispGetPinData = 15,      // VARIANT QuillGetPinData(short* nSuccess): byte array
};

enum EventDispid : std::int32_t {
  kOnPadError = 1,
  kOnSignCancel = 2,
  kOnSignEnd = 3,
  kOnInputDataError = 4,
  kOnCustInfoEnd = 5,
  kOnPinEnd = 6,
};

inline constexpr std::array<Param, 1> kStrValue{{{"newValue", Type::Str, Dir::In}}};
inline constexpr std::array<Param, 1> kShortValue{{{"newValue", Type::I2, Dir::In}}};
inline constexpr std::array<Param, 2> kElecSignParams{{{"strCardNo", Type::Str, Dir::In},
                                                       {"strTrInfo", Type::Str, Dir::In}}};
inline constexpr std::array<Param, 1> kSetPortNoParams{{{"nNewVal", Type::I2, Dir::In}}};
inline constexpr std::array<Param, 1> kSetBaudRateParams{{{"nNewVal", Type::I4, Dir::In}}};
inline constexpr std::array<Param, 3> kGetSignBMPParams{{{"strCardNo", Type::Str, Dir::In},
                                                         {"strTrInfo", Type::Str, Dir::In},
                                                         {"strFileName", Type::Str, Dir::In}}};
inline constexpr std::array<Param, 1> kSuccessOut{{{"nSuccess", Type::I2, Dir::Out}}};
inline constexpr std::array<Param, 3> kGetPinParams{{{"strCardNo", Type::Str, Dir::In},
                                                     {"strAmount", Type::Str, Dir::In},
                                                     {"strWorkingKey", Type::Str, Dir::In}}};

using automation::kGet;
using automation::kMethod;
using automation::kPut;

inline constexpr automation::Member kMembers[] = {
    {"strCustInfoData", kDispCustInfoData, kGet, {}, Type::Str},
    {"strCustInfoData", kDispCustInfoData, kPut, kStrValue, Type::Empty},
    {"strPinData", kDispPinData, kGet, {}, Type::Str},
    {"strPinData", kDispPinData, kPut, kStrValue, Type::Empty},
    {"passWordType", kDispPassWordType, kGet, {}, Type::I2},
    {"passWordType", kDispPassWordType, kPut, kShortValue, Type::Empty},
    {"strYNSignStarted", kDispSignStarted, kGet, {}, Type::Str},
    {"strYNSignStarted", kDispSignStarted, kPut, kStrValue, Type::Empty},
    {"strYNLog", kDispLog, kGet, {}, Type::Str},
    {"strYNLog", kDispLog, kPut, kStrValue, Type::Empty},
    {"QuillElecSign", kDispElecSign, kMethod, kElecSignParams, Type::I2},
    {"SetPortNo", kDispSetPortNo, kMethod, kSetPortNoParams, Type::I2},
    {"SetBaudRate", kDispSetBaudRate, kMethod, kSetBaudRateParams, Type::I2},
    {"QuillGetSignBMP", kDispGetSignBMP, kMethod, kGetSignBMPParams, Type::I2},
    {"QuillGetSignData", kDispGetSignData, kMethod, kSuccessOut, Type::Bytes},
    {"QuillGetCustInfo", kDispGetCustInfo, kMethod, {}, Type::I2},
    {"QuillGetCustInfoData", kDispGetCustInfoData, kMethod, kSuccessOut, Type::Bytes},
    {"QuillCancel", kDispCancel, kMethod, {}, Type::I2},
    {"QuillGetPin", kDispGetPin, kMethod, kGetPinParams, Type::I2},
    {"QuillGetPinData", kDispGetPinData, kMethod, kSuccessOut, Type::Bytes},
};

inline constexpr automation::Member kEvents[] = {
    {"OnPadError", kOnPadError, kMethod, {}, Type::Empty},
    {"OnSignCancel", kOnSignCancel, kMethod, {}, Type::Empty},
    {"OnSignEnd", kOnSignEnd, kMethod, {}, Type::Empty},
    {"OnInputDataError", kOnInputDataError, kMethod, {}, Type::Empty},
    {"OnCustInfoEnd", kOnCustInfoEnd, kMethod, {}, Type::Empty},
    {"OnPinEnd", kOnPinEnd, kMethod, {}, Type::Empty},
};

inline constexpr automation::ClassInfo kClass{
    "Quillpad",
    "Quillpad Control",
    "{75A8B470-B703-4A2C-A41E-000C3E621149}",
    "QUILLPAD.QuillpadCtrl.1",
    "QUILLPAD.QuillpadCtrl",
    {"QUILLPADLib", "{AFBC4EEA-663D-437A-B502-2E2685201956}", 1, 0, "Quillpad ActiveX Control module"},
    {"_DQuillpad", "{00E3B435-3215-4CB8-AE69-27B50779EC36}", false, kMembers},
    {"_DQuillpadEvents", "{59A15EC2-539A-44BE-9520-8E490EE71B76}", false, kEvents},
};

// What a form host also sees of the control.
inline constexpr const char* kControlClassName = "CQuillpadCtrl";
inline constexpr const char* kPropertyPageProgId = "QUILLPAD.QuillpadPropPage.1";
inline constexpr const char* kPropertyPageClsid = "{D085E83F-0978-4693-A04A-6C180562BC17}";

static_assert(automation::class_fault(kClass) == nullptr, "the member table is not well formed");
static_assert(std::size(kMembers) == 20, "five properties (get and put) and ten methods");
static_assert(std::size(kEvents) == 6);

}  // namespace pink::signpad::quill
