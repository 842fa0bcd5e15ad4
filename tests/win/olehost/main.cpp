// olehost.exe COMMAND PROGID [--port N] [--bmp FILE] [--window FILE.bmp]
//                            [--draw FILE.bmp] [--log FOLDER\]
//
//   run      sites the control and runs a signature (the bitmap to --bmp,
//            pictures of its window to --window and --draw) and a PIN
//            against the pad on COM<port>, then closes it
//   silent   sites the control and asks a signature of a pad that never
//            answers: the control's timers give up (quillpad, stylpad)
//   freeze   sites the control and shows that events fired while the host
//            froze them arrive when it thaws them (stylpad: a port out of
//            range fires errCode at once), then UI-activates it, moves and
//            resizes its window and hides it
//   persist  saves a control to a stream and a property bag and loads them
//            into new controls
//   pages    the control's property page, and its picture drawn before it
//            has a window (to --draw)
//
// Exit status: 0 when every check held, 1 when one failed, 2 on bad usage.
#include <cstdio>
#include <exception>

#include "tests/win/olehost/host.h"

namespace olehost {
namespace {

void freeze(IDispatch* d, Sink& sink, const Hosted& hosted, const Options& o) {
  auto control = query<IOleControl>(hosted.ole.get(), IID_IOleControl);
  if (!check(static_cast<bool>(control), "IOleControl")) return;
  CONTROLINFO info{};
  info.cb = sizeof info;
  const HRESULT got = control->GetControlInfo(&info);
  say("control info: " + hresult(got) + ", " + std::to_string(info.cAccel) + " mnemonics");
  control->FreezeEvents(TRUE);
  call(d, L"OpenSign", {Arg::text(o.log), Arg::i4(0), Arg::text(L"1")});
  say("frozen: " + std::to_string(sink.seen.size()) + " events");
  control->FreezeEvents(FALSE);
  say("thawed: " + std::to_string(sink.seen.size()) + " events");

  RECT place{16, 16, 16 + 256, 16 + 128};
  say("UI activation: " + hresult(hosted.ole->DoVerb(OLEIVERB_UIACTIVATE, nullptr, nullptr, 0, nullptr, &place)));
  auto in_place = query<IOleInPlaceObject>(hosted.ole.get(), IID_IOleInPlaceObject);
  const RECT bigger{20, 24, 20 + 300, 24 + 150};
  if (in_place) in_place->SetObjectRects(&bigger, &bigger);
  RECT client{}, frame{};
  ::GetClientRect(hosted.window, &client);
  ::GetWindowRect(hosted.window, &frame);
  ::MapWindowPoints(nullptr, ::GetParent(hosted.window), reinterpret_cast<POINT*>(&frame), 2);
  say("moved: at " + std::to_string(frame.left) + "," + std::to_string(frame.top) + ", " +
      std::to_string(client.right) + "x" + std::to_string(client.bottom));
  capture_draw(hosted.ole.get(), 300, 150, o.draw);
  const HRESULT hidden = hosted.ole->DoVerb(OLEIVERB_HIDE, nullptr, nullptr, 0, nullptr, &place);
  say("hidden: " + hresult(hidden) + ", " + (::IsWindowVisible(hosted.window) ? "still visible" : "not visible"));
}

int run(const std::wstring& command, const Options& o) {
  if (command == L"persist") {
    check_persistence(o);
    return 0;
  }
  if (command == L"pages") {
    check_pages(o);
    return 0;
  }
  Container container;
  Sink* sink = nullptr;
  Hosted hosted;
  if (site_control(o.progid, container, sink, hosted)) {
    watch_window(hosted.window);
    pump_for(100);  // the first paint
    IDispatch* d = hosted.dispatch.get();
    if (command == L"freeze") {
      freeze(d, *sink, hosted, o);
    } else if (command == L"silent") {
      run_silent(d, *sink, o);
    } else if (o.progid.rfind(L"TALLYPAD.", 0) == 0) {
      run_tallypad(d, *sink, hosted, o);
    } else if (o.progid.rfind(L"QUILLPAD.", 0) == 0) {
      run_quillpad(d, *sink, hosted, o);
    } else if (o.progid.rfind(L"STYLPAD.", 0) == 0) {
      run_stylpad(d, *sink, hosted, o);
    } else {
      fail("no job for " + utf8(o.progid));
    }
  }
  report_window_messages();
  close_control(hosted, sink);
  return 0;
}

bool parse(int argc, wchar_t** argv, std::wstring& command, Options& o) {
  if (argc < 3) return false;
  command = argv[1];
  o.progid = argv[2];
  for (int i = 3; i + 1 < argc; i += 2) {
    const std::wstring name = argv[i], value = argv[i + 1];
    if (name == L"--port") {
      o.port = _wtoi(value.c_str());
    } else if (name == L"--bmp") {
      o.bmp = value;
    } else if (name == L"--window") {
      o.window = value;
    } else if (name == L"--draw") {
      o.draw = value;
    } else if (name == L"--log") {
      o.log = value;
    } else {
      return false;
    }
  }
  return (argc - 3) % 2 == 0 &&
         (command == L"run" || command == L"silent" || command == L"freeze" || command == L"persist" || command == L"pages");
}

}  // namespace
}  // namespace olehost

int wmain(int argc, wchar_t** argv) {
  std::wstring command;
  olehost::Options options;
  if (!olehost::parse(argc, argv, command, options)) {
    std::fputs("usage: olehost run|silent|freeze|persist|pages PROGID [--port N] [--bmp FILE] [--window FILE]"
               " [--draw FILE] [--log FOLDER]\n",
               stderr);
    return 2;
  }
  if (FAILED(::OleInitialize(nullptr))) return 1;
  int status = 0;
  try {
    status = olehost::run(command, options);
  } catch (const std::exception& e) {
    olehost::fail(std::string("stopped: ") + e.what());
  }
  olehost::say("olehost: " + std::string(olehost::failures() == 0 ? "done" : "failed"));
  ::OleUninitialize();
  return status != 0 || olehost::failures() != 0 ? 1 : 0;
}
