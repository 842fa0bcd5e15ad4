// An ActiveX control of the suite: the COM object around an automation
// object that has a window (automation/view.h), with what a form host needs
// to site it beside the automation object's interfaces (object.h):
//
//   IOleObject, IOleInPlaceObject, IOleInPlaceActiveObject   siting, verbs,
//       in-place and UI activation, extents, the container's advise sinks
//   IViewObject2                 the picture drawn into the host's DC
//   IPersistStreamInit, IPersistPropertyBag   the persisted properties
//       (automation::Persistent) and the extent, saved with the form
//   ISpecifyPropertyPages        the control's property page
//   IOleControl                  no mnemonics; events held while frozen
//
// In-place activation makes the control's window: a child of the site's
// window with the window class ControlSpec::window_class, at the position
// the site gives. It paints the object's picture with GDI, follows its size,
// receives the object's posted notifications (WM_USER and above: the pad
// link's WM_USER + 1 and + 2) and runs them on its thread, and runs the
// object's window work (timers, work handed over, deferred events) from its
// messages. Deactivation hands what was still posted to the object before
// the window goes, so nothing received is lost.
//
// A control's module serves it with ClassSpec::wrap:
//
//   const com::ControlSpec kControl{"CTallypadCtrl", kPropPageClsid};
//   void* wrap(const com::ClassSpec& s, std::unique_ptr<automation::Object> o) {
//     return com::wrap_control(s, kControl, std::move(o));
//   }
#pragma once

#include <memory>

#include "automation/object.h"
#include "automation/registration.h"
#include "platform/win32/com/server.h"

namespace pink::com {

struct ControlSpec {
  const char* window_class;   // the class of the control's window
  const char* property_page;  // the CLSID of its property page, "{...}"
  int width = 256;            // the natural size in pixels (the pad's area
  int height = 128;           // at double scale)
};

// OLEMISC_SETCLIENTSITEFIRST | ACTIVATEWHENVISIBLE | INSIDEOUT |
// CANTLINKINSIDE | RECOMPOSEONRESIZE: sited before it is loaded, active
// whenever it is shown, in place only.
inline constexpr std::uint32_t kControlMiscStatus = 0x20000 | 0x100 | 0x80 | 0x10 | 0x1;

// The registry options of a control class: apartment threaded (its window
// lives on the host's thread) and the control entries.
inline constexpr automation::registration::ClassOptions kControlRegistry{"Apartment", true, 1, kControlMiscStatus};

// ClassSpec::wrap of a control: an IUnknown* with one reference, or null.
// The object must be an automation::View; an automation::Persistent object
// also has its persisted properties saved.
void* wrap_control(const ClassSpec& spec, const ControlSpec& control,
                   std::unique_ptr<automation::Object> object) noexcept;

// A minimal property page (IPropertyPage): a page titled `title` showing
// `text` (cp949) for the objects it is given. An IUnknown* with one
// reference, or null.
void* new_property_page(const char* title, const char* text) noexcept;

}  // namespace pink::com
