// What a POS form does with each control: a signature saved as a bitmap,
// with pictures of the control's window, then a PIN, against the pad on its
// port. Korean texts go to the controls as UTF-16 strings.
#include "tests/win/olehost/host.h"

namespace olehost {
namespace {

constexpr DWORD kJobMs = 60000;  // a signature at the pad's pace, under load

// The digits of an answer (the pad's frame bytes around them left out).
std::string digits_of(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  for (const std::uint8_t b : bytes) {
    if (b >= '0' && b <= '9') out.push_back(static_cast<char>(b));
  }
  return out;
}

void pictures(const Hosted& hosted, const Options& o) {
  RECT client{};
  ::GetClientRect(hosted.window, &client);
  capture_window(hosted.window, o.window);
  capture_draw(hosted.ole.get(), client.right, client.bottom, o.draw);
}

}  // namespace

void run_tallypad(IDispatch* d, Sink& sink, const Hosted& hosted, const Options& o) {
  check(call(d, L"SetPortNo", {Arg::i2(static_cast<short>(o.port))}).number() == 1, "SetPortNo");
  check(call(d, L"TallySignReq", {Arg::text(L"5000"), Arg::text(L"감사합니다")}).number() == 1, "TallySignReq");
  if (!sink.wait("OnSignSendInput", 1, kJobMs)) return;
  check(call(d, L"TallySignSend").number() == 1, "TallySignSend");
  if (!sink.wait("OnSignSendEvent", 1, kJobMs)) return;
  const Called data = call(d, L"TallySignSendData", {Arg::out_i2()});
  check(data.out(0) == 1 && !data.bytes().empty(), "TallySignSendData");
  check(call(d, L"TallyGetSignBMP", {Arg::text(o.bmp)}).number() == 1, "TallyGetSignBMP");
  pictures(hosted, o);

  check(call(d, L"TallyGetPin", {Arg::text(L"5000"), Arg::text(L"비밀번호 입력")}).number() == 1, "TallyGetPin");
  if (!sink.wait("OnPinEvent", 1, kJobMs)) return;
  const Called pin = call(d, L"TallyGetPinData", {Arg::out_i2()});
  check(pin.out(0) == 1, "TallyGetPinData");
  say("pin: " + digits_of(pin.bytes()));
}

void run_quillpad(IDispatch* d, Sink& sink, const Hosted& hosted, const Options& o) {
  const std::wstring card = L"9410123412341234";
  const std::wstring tr = L"TR20240131000000000000000000000000000000005000  ";
  check(call(d, L"SetPortNo", {Arg::i2(static_cast<short>(o.port))}).number() == 0, "SetPortNo");
  check(call(d, L"QuillElecSign", {Arg::text(card), Arg::text(tr)}).number() == 0, "QuillElecSign");
  if (!sink.wait("OnSignEnd", 1, kJobMs)) return;
  check(get(d, L"strYNSignStarted").text() == L"Y", "strYNSignStarted");
  check(call(d, L"QuillGetSignBMP", {Arg::text(card), Arg::text(tr), Arg::text(o.bmp)}).number() == 1,
        "QuillGetSignBMP");
  pictures(hosted, o);
  const Called record = call(d, L"QuillGetSignData", {Arg::out_i2()});
  check(record.out(0) == 1 && record.bytes().size() > 121, "QuillGetSignData");

  check(call(d, L"QuillGetPin", {Arg::text(card), Arg::text(L"5000"), Arg::text(L"0000000000000000")}).number() == 0,
        "QuillGetPin");
  if (!sink.wait("OnPinEnd", 1, kJobMs)) return;
  const Called pin = call(d, L"QuillGetPinData", {Arg::out_i2()});
  check(pin.out(0) == 1, "QuillGetPinData");
  say("pin: " + utf8(get(d, L"strPinData").text()));
}

void run_stylpad(IDispatch* d, Sink& sink, const Hosted& hosted, const Options& o) {
  check(call(d, L"SetImgName", {Arg::text(o.bmp)}).number() == 0, "SetImgName");
  check(call(d, L"OpenSign", {Arg::text(o.log), Arg::i4(o.port), Arg::text(L"5000")}).number() == 0, "OpenSign");
  if (!sink.wait("readyTOsignAction", 1, kJobMs) || !sink.wait("GetOCXMsg", 1, kJobMs)) return;
  check(call(d, L"GetRtnVal").number() == 1, "GetRtnVal");
  check(call(d, L"GetSigndata").text().rfind(L"STYL2", 0) == 0, "GetSigndata");
  call(d, L"checkConfirm");
  pictures(hosted, o);

  call(d, L"SetPinLen", {Arg::text(L"04")});
  check(call(d, L"OpenPinpad", {Arg::text(o.log), Arg::i4(o.port)}).number() == 0, "OpenPinpad");
  if (!sink.wait("readyTOsignAction", 2, kJobMs) || !sink.wait("GetOCXMsg", 2, kJobMs)) return;
  say("pin: " + utf8(call(d, L"pinpadValue").text()));
}

void run_silent(IDispatch* d, Sink& sink, const Options& o) {
  if (o.progid.rfind(L"QUILLPAD.", 0) == 0) {
    call(d, L"SetPortNo", {Arg::i2(static_cast<short>(o.port))});
    check(call(d, L"QuillElecSign", {Arg::text(L"9410123412341234"), Arg::text(L"TR")}).number() == 0, "QuillElecSign");
    sink.wait("OnPadError", 1, kJobMs);
    return;
  }
  check(call(d, L"OpenSign", {Arg::text(o.log), Arg::i4(o.port), Arg::text(L"5000")}).number() == 0, "OpenSign");
  if (sink.wait("errCode", 1, kJobMs)) sink.wait("GetOCXMsg", 1, kJobMs);
}

}  // namespace olehost
