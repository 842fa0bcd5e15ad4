// quillpad.ocx: the quillpad control as an ActiveX control (Windows). The
// class Quillpad ("QUILLPAD.QuillpadCtrl.1") with its dispatch interface
// _DQuillpad, its event interface _DQuillpadEvents and the type library
// QUILLPADLib in the module's resources, and its property page
// ("QUILLPAD.QuillpadPropPage.1"). Both classes live in the host's apartment.
#include "platform/win32/com/control.h"
#include "platform/win32/com/server.h"
#include "signpad/quillpad_control.h"
#include "signpad/quillpad_members.h"

namespace {

namespace quill = pink::signpad::quill;
namespace com = pink::com;

const com::ControlSpec kControl{quill::kControlClassName, quill::kPropertyPageClsid};

void* wrap(const com::ClassSpec& spec, std::unique_ptr<pink::automation::Object> object) {
  return com::wrap_control(spec, kControl, std::move(object));
}

void* make_page() { return com::new_property_page("Quillpad", "Quillpad Control, version 1.0"); }

const com::ClassSpec kClasses[] = {{&quill::kClass, &quill::make_quillpad_object, {}, &wrap, com::kControlRegistry}};
const com::PlainClassSpec kPages[] = {
    {{quill::kPropertyPageClsid, "Quillpad Property Page", quill::kPropertyPageProgId, "Apartment"}, &make_page}};
const com::ServerSpec kServer{kClasses, kPages};

}  // namespace

const pink::com::ServerSpec& pink::com::module_server() { return kServer; }
