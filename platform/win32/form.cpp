// The form on Windows: a small top-level window "frmHandy" with a static
// control per label, a list box and a push button, all in the GUI font. The
// window is created hidden with the form and shown by show(); its messages
// are dispatched by the event loop like every other window of the thread.
// Pressing the end button or closing the window asks the loop to stop; the
// window itself goes when the form does.
#include "platform/form.h"

#include <windows.h>

#include <string>

#include "platform/text.h"

namespace pink::form {
namespace {

constexpr wchar_t kClassName[] = L"frmHandy";
constexpr int kEndButtonId = 101;

// Client area and control places, in pixels.
constexpr int kClientWidth = 360;
constexpr int kClientHeight = 396;
struct Place {
  int x, y, width, height;
};
constexpr Place kTitlePlace{16, 16, 190, 20};
constexpr Place kCountPlace{210, 16, 134, 20};
constexpr Place kFileNamePlace{16, 44, 328, 20};
constexpr Place kListPlace{16, 72, 328, 252};
constexpr Place kEndPlace{120, 340, 120, 36};

std::wstring wide(std::string_view cp949) {
  const std::u16string w = text::cp949_to_utf16(cp949);
  return std::wstring(w.begin(), w.end());
}

}  // namespace

struct Form::Impl {
  explicit Impl(events::Loop& l) : loop(l) {}

  events::Loop& loop;
  HWND window = nullptr;
  HWND title = nullptr, count = nullptr, file_name = nullptr, list = nullptr, end_button = nullptr;
  std::size_t lines = 0;

  static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
      const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lp);
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* impl = reinterpret_cast<Impl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (impl != nullptr) {
      switch (msg) {
        case WM_COMMAND:
          if (LOWORD(wp) == kEndButtonId && HIWORD(wp) == BN_CLICKED) {
            impl->loop.request_stop();
            return 0;
          }
          break;
        case WM_CLOSE:
          impl->loop.request_stop();
          return 0;
        default:
          break;
      }
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
  }

  HWND control(const wchar_t* cls, DWORD style, DWORD ex_style, const Place& p, int id) {
    HWND h = CreateWindowExW(ex_style, cls, L"", WS_CHILD | WS_VISIBLE | style, p.x, p.y, p.width, p.height,
                             window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                             nullptr);
    if (h != nullptr) SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    return h;
  }

  void create() {
    HINSTANCE module = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = module;
    wc.lpszClassName = kClassName;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    RegisterClassExW(&wc);  // fails harmlessly when registered already

    constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT r{0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&r, kStyle, FALSE, 0);
    window = CreateWindowExW(0, kClassName, L"", kStyle, CW_USEDEFAULT, CW_USEDEFAULT, r.right - r.left,
                             r.bottom - r.top, nullptr, nullptr, module, this);
    if (window == nullptr) return;
    title = control(L"STATIC", SS_LEFT, 0, kTitlePlace, 0);
    count = control(L"STATIC", SS_LEFT, 0, kCountPlace, 0);
    file_name = control(L"STATIC", SS_LEFT | SS_NOPREFIX, 0, kFileNamePlace, 0);
    list = control(L"LISTBOX", WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY, WS_EX_CLIENTEDGE, kListPlace, 0);
    end_button = control(L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, kEndPlace, kEndButtonId);
  }

  static void set_text(HWND h, std::string_view cp949) {
    if (h != nullptr) SetWindowTextW(h, wide(cp949).c_str());
  }
};

Form::Form(events::Loop& loop) : impl_(std::make_shared<Impl>(loop)) { impl_->create(); }

Form::~Form() {
  if (impl_->window != nullptr) {
    SetWindowLongPtrW(impl_->window, GWLP_USERDATA, 0);
    DestroyWindow(impl_->window);
  }
}

void Form::set_caption(std::string_view text) { Impl::set_text(impl_->window, text); }
void Form::set_title(std::string_view text) { Impl::set_text(impl_->title, text); }
void Form::set_count(std::string_view text) { Impl::set_text(impl_->count, text); }
void Form::set_file_name(std::string_view text) { Impl::set_text(impl_->file_name, text); }
void Form::set_end_caption(std::string_view text) { Impl::set_text(impl_->end_button, text); }

void Form::list_add(std::string_view line) {
  ++impl_->lines;
  if (impl_->list == nullptr) return;
  const std::wstring w = wide(line);
  SendMessageW(impl_->list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str()));
}

void Form::list_clear() {
  impl_->lines = 0;
  if (impl_->list != nullptr) SendMessageW(impl_->list, LB_RESETCONTENT, 0, 0);
}

void Form::list_select_last() {
  if (impl_->list == nullptr || impl_->lines == 0) return;
  const LRESULT n = SendMessageW(impl_->list, LB_GETCOUNT, 0, 0);
  if (n > 0) SendMessageW(impl_->list, LB_SETCURSEL, static_cast<WPARAM>(n - 1), 0);
}

void Form::list_set_visible(bool visible) {
  if (impl_->list != nullptr) ShowWindow(impl_->list, visible ? SW_SHOW : SW_HIDE);
}

std::size_t Form::list_size() const { return impl_->lines; }

void Form::show() {
  if (impl_->window == nullptr) return;
  ShowWindow(impl_->window, SW_SHOWNORMAL);
  UpdateWindow(impl_->window);
}

}  // namespace pink::form
