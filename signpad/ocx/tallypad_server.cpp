// tallypad.ocx: the tallypad control as an ActiveX control (Windows). The
// class Tallypad ("TALLYPAD.TallypadCtrl.1") with its dispatch interface
// _DTallypad, its event interface _DTallypadEvents and the type library
// TALLYPADLib in the module's resources, and its property page
// ("TALLYPAD.TallypadPropPage.1"). Both classes live in the host's apartment.
#include "platform/win32/com/control.h"
#include "platform/win32/com/server.h"
#include "signpad/tallypad_control.h"
#include "signpad/tallypad_members.h"

namespace {

namespace tally = pink::signpad::tally;
namespace com = pink::com;

const com::ControlSpec kControl{tally::kControlClassName, tally::kPropPageClsid};

void* wrap(const com::ClassSpec& spec, std::unique_ptr<pink::automation::Object> object) {
  return com::wrap_control(spec, kControl, std::move(object));
}

void* make_page() { return com::new_property_page("Tallypad", "Tallypad Control, version 1.0"); }

const com::ClassSpec kClasses[] = {{&tally::kClass, &tally::make_object, {}, &wrap, com::kControlRegistry}};
const com::PlainClassSpec kPages[] = {
    {{tally::kPropPageClsid, "Tallypad Property Page", tally::kPropPageProgId, "Apartment"}, &make_page}};
const com::ServerSpec kServer{kClasses, kPages};

}  // namespace

const pink::com::ServerSpec& pink::com::module_server() { return kServer; }
