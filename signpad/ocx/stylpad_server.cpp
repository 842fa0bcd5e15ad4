// stylpad.ocx: the stylpad control as an ActiveX control (Windows). The
// class Stylpad ("STYLPAD.StylPadCtrl.1") with its dispatch interface
// _DStylpad, its event interface _DStylpadEvents and the type library
// STYLPADLib in the module's resources, and its property page
// ("STYLPAD.StylPadPropPage.1"). Both classes live in the host's apartment.
// processClock, signpadframWidth and signpadframHeight are saved with the
// host's form (IPersistStreamInit, IPersistPropertyBag).
#include "platform/win32/com/control.h"
#include "platform/win32/com/server.h"
#include "signpad/stylpad_control.h"
#include "signpad/stylpad_members.h"

namespace {

namespace styl = pink::signpad::styl;
namespace com = pink::com;

const com::ControlSpec kControl{styl::kControlClassName, styl::kPropertyPageClsid};

void* wrap(const com::ClassSpec& spec, std::unique_ptr<pink::automation::Object> object) {
  return com::wrap_control(spec, kControl, std::move(object));
}

void* make_page() { return com::new_property_page("Stylpad", "Stylpad Control, version 1.0"); }

const com::ClassSpec kClasses[] = {{&styl::kClass, &styl::make_object, {}, &wrap, com::kControlRegistry}};
const com::PlainClassSpec kPages[] = {
    {{styl::kPropertyPageClsid, "Stylpad Property Page", styl::kPropertyPageProgId, "Apartment"}, &make_page}};
const com::ServerSpec kServer{kClasses, kPages};

}  // namespace

const pink::com::ServerSpec& pink::com::module_server() { return kServer; }
