// The registry entries of the automation servers and the rules for writing
// and removing them, over a registry kept in memory that can be told to
// refuse a step: a registration that fails at any step leaves the registry
// exactly as it was.
#include "automation/registration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "msgcall/members.h"
#include "signpad/stylpad_members.h"

namespace pink::automation::registration {
namespace {

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// Keys and value names compare without regard to case, as in the registry.
// "" is the root (the classes key). Every mutating step counts; the step
// numbered `fail_at` (from 1) and any step on a key listed in `locked` fail
// with error 5 (access denied).
class MemoryStore final : public KeyStore {
 public:
  using Values = std::map<std::string, std::string>;
  std::map<std::string, Values> keys{{"", {}}};
  int steps = 0;
  int fail_at = 0;
  std::set<std::string> locked;

  bool exists(std::string_view key) override { return keys.count(lower(key)) != 0; }
  long create(std::string_view key) override {
    if (const long e = step(key)) return e;
    const std::string k = lower(key);
    const std::size_t cut = k.rfind('\\');
    if (!exists(cut == std::string::npos ? "" : k.substr(0, cut))) return 2;
    keys.try_emplace(k);
    return 0;
  }
  std::optional<std::string> read(std::string_view key, std::string_view name) override {
    const auto k = keys.find(lower(key));
    if (k == keys.end()) return std::nullopt;
    const auto v = k->second.find(lower(name));
    if (v == k->second.end()) return std::nullopt;
    return v->second;
  }
  long write(std::string_view key, std::string_view name, std::string_view data) override {
    if (const long e = step(key)) return e;
    const auto k = keys.find(lower(key));
    if (k == keys.end()) return 2;
    k->second[lower(name)] = std::string(data);
    return 0;
  }
  long erase_value(std::string_view key, std::string_view name) override {
    const auto k = keys.find(lower(key));
    if (k != keys.end()) k->second.erase(lower(name));
    return 0;
  }
  long erase_tree(std::string_view key) override {
    const std::string k = lower(key);
    if (locked.count(k) != 0) return 5;
    std::erase_if(keys, [&](const auto& kv) { return kv.first == k || kv.first.rfind(k + "\\", 0) == 0; });
    return 0;
  }
  bool empty(std::string_view key) override {
    const std::string k = lower(key);
    const auto it = keys.find(k);
    if (it == keys.end() || !it->second.empty()) return false;
    return std::none_of(keys.begin(), keys.end(), [&](const auto& kv) { return kv.first.rfind(k + "\\", 0) == 0; });
  }

 private:
  long step(std::string_view key) {
    ++steps;
    if (steps == fail_at || locked.count(lower(key)) != 0) return 5;
    return 0;
  }
};

const Module kModule{"C:\\POS\\\xED\x8C\x8C\xEC\x9D\xBC\\msgcall.dll", "C:\\POS\\\xED\x8C\x8C\xEC\x9D\xBC", false};

Registration msgcall_registration(const Module& m = kModule) {
  Registration r;
  add_class(r, msgcall::kClass, m);
  add_type_library(r, msgcall::kClass, m);
  return r;
}

// What a registry that has seen other software looks like.
MemoryStore lived_in_store() {
  MemoryStore s;
  for (const char* k : {"clsid", "typelib", "interface", "txtfile", "clsid\\{00000000-1111-2222-3333-444444444444}"}) {
    s.keys[k];
  }
  s.keys["txtfile"][""] = "Text Document";
  s.keys["clsid\\{00000000-1111-2222-3333-444444444444}"][""] = "Someone Else";
  return s;
}

TEST(Registration, TheMessageObjectWritesExactlyItsClassProgIdsTypeLibraryAndInterfaces) {
  const std::string clsid = "CLSID\\{33B28151-FC79-47A6-90C4-CD560FDDF2A8}";
  const std::string lib = "TypeLib\\{4950FFD2-6D86-4291-B9D0-ACD31817DE33}\\1.0";
  const std::string dual = "Interface\\{F18DA25B-6D14-49A9-A1DE-EA44814805BA}";
  const std::string events = "Interface\\{55622D4B-B5FF-47FD-9855-D0768AC8B207}";
  const std::string oa = "{00020424-0000-0000-C000-000000000046}";
  const std::string disp = "{00020420-0000-0000-C000-000000000046}";
  const std::string libid = "{4950FFD2-6D86-4291-B9D0-ACD31817DE33}";
  const std::vector<Entry> expected = {
      {"msgcall.MSGCALLMSG.1", "", "MSGCALLMSG Class"},
      {"msgcall.MSGCALLMSG.1\\CLSID", "", "{33B28151-FC79-47A6-90C4-CD560FDDF2A8}"},
      {"msgcall.MSGCALLMSG", "", "MSGCALLMSG Class"},
      {"msgcall.MSGCALLMSG\\CLSID", "", "{33B28151-FC79-47A6-90C4-CD560FDDF2A8}"},
      {"msgcall.MSGCALLMSG\\CurVer", "", "msgcall.MSGCALLMSG.1"},
      {clsid, "", "MSGCALLMSG Class"},
      {clsid + "\\ProgID", "", "msgcall.MSGCALLMSG.1"},
      {clsid + "\\VersionIndependentProgID", "", "msgcall.MSGCALLMSG"},
      {clsid + "\\InprocServer32", "", kModule.path},
      {clsid + "\\TypeLib", "", libid},
      {clsid + "\\Programmable", "", "", false},
      {lib, "", "msgcall 1.0 Type Library"},
      {lib + "\\0\\win32", "", kModule.path},
      {lib + "\\FLAGS", "", "0"},
      {lib + "\\HELPDIR", "", kModule.folder},
      {dual, "", "IMSGCALLMSG"},
      {dual + "\\ProxyStubClsid", "", oa},
      {dual + "\\ProxyStubClsid32", "", oa},
      {dual + "\\TypeLib", "", libid},
      {dual + "\\TypeLib", "Version", "1.0"},
      {events, "", "_IMSGCALLMSGEvents"},
      {events + "\\ProxyStubClsid", "", disp},
      {events + "\\ProxyStubClsid32", "", disp},
      {events + "\\TypeLib", "", libid},
      {events + "\\TypeLib", "Version", "1.0"},
  };
  const Registration r = msgcall_registration();
  ASSERT_EQ(r.entries.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(r.entries[i].key, expected[i].key) << i;
    EXPECT_EQ(r.entries[i].name, expected[i].name) << i;
    EXPECT_EQ(r.entries[i].data, expected[i].data) << i;
    EXPECT_EQ(r.entries[i].has_value, expected[i].has_value) << i;
  }
  // No threading model is written.
  for (const Entry& e : r.entries) EXPECT_NE(e.name, "ThreadingModel");

  MemoryStore store = lived_in_store();
  const auto before = store.keys;
  ASSERT_EQ(write_all(store, r).error, 0);
  EXPECT_EQ(store.read(clsid + "\\InprocServer32", ""), kModule.path);
  EXPECT_TRUE(store.exists(clsid + "\\Programmable"));
  EXPECT_TRUE(store.empty(clsid + "\\Programmable"));
  // A 64-bit module names its file for the 64-bit platform.
  Module m64 = kModule;
  m64.win64 = true;
  const Registration r64 = msgcall_registration(m64);
  EXPECT_TRUE(std::any_of(r64.entries.begin(), r64.entries.end(), [&](const Entry& e) { return e.key == lib + "\\0\\win64"; }));

  // Unregistration removes all of it and nothing else.
  ASSERT_EQ(remove_all(store, r).error, 0);
  EXPECT_EQ(store.keys, before);
  // Twice is fine.
  EXPECT_EQ(remove_all(store, r).error, 0);
  EXPECT_EQ(store.keys, before);
}

// Every mutating step of the registration is made to fail in turn, on an
// empty registry, on one that has seen other software, and over an earlier
// registration of the same class from another folder: each time the store
// ends as it was before, the earlier registration's file included.
TEST(Registration, ARegistrationThatFailsAtAnyStepLeavesTheRegistryAsItFoundIt) {
  const Registration r = msgcall_registration();
  MemoryStore earlier = lived_in_store();
  ASSERT_EQ(write_all(earlier, msgcall_registration({"D:\\old\\msgcall.dll", "D:\\old", false})).error, 0);

  for (const MemoryStore& start : {MemoryStore{}, lived_in_store(), earlier}) {
    MemoryStore count = start;
    count.steps = 0;
    ASSERT_EQ(write_all(count, r).error, 0);
    ASSERT_GT(count.steps, 20);
    for (int k = 1; k <= count.steps; ++k) {
      MemoryStore s = start;
      s.steps = 0;
      s.fail_at = k;
      const Outcome o = write_all(s, r);
      EXPECT_EQ(o.error, 5) << "step " << k;
      EXPECT_FALSE(o.key.empty());
      EXPECT_EQ(s.keys, start.keys) << "step " << k;
    }
  }
  // The earlier registration still points at its own file after a failure.
  MemoryStore s = earlier;
  s.locked.insert(lower("Interface\\{55622D4B-B5FF-47FD-9855-D0768AC8B207}\\TypeLib"));
  EXPECT_EQ(write_all(s, r).error, 5);
  EXPECT_EQ(s.read("CLSID\\{33B28151-FC79-47A6-90C4-CD560FDDF2A8}\\InprocServer32", ""), "D:\\old\\msgcall.dll");
}

TEST(Registration, UnregistrationRemovesWhatItCanReportsWhatItCannotAndKeepsOtherVersions) {
  const Registration r = msgcall_registration();
  MemoryStore s = lived_in_store();
  ASSERT_EQ(write_all(s, r).error, 0);
  // Another version of the same type library stays, and so does its key.
  s.keys["typelib\\{4950ffd2-6d86-4291-b9d0-acd31817de33}\\2.0"][""] = "msgcall 2.0";
  const std::string locked = lower("msgcall.MSGCALLMSG");
  s.locked.insert(locked);
  const Outcome o = remove_all(s, r);
  EXPECT_EQ(o.error, 5);
  EXPECT_EQ(lower(o.key), locked);
  EXPECT_TRUE(s.exists("msgcall.MSGCALLMSG"));
  EXPECT_FALSE(s.exists("msgcall.MSGCALLMSG.1"));
  EXPECT_FALSE(s.exists("CLSID\\{33B28151-FC79-47A6-90C4-CD560FDDF2A8}"));
  EXPECT_FALSE(s.exists("TypeLib\\{4950FFD2-6D86-4291-B9D0-ACD31817DE33}\\1.0"));
  EXPECT_TRUE(s.exists("TypeLib\\{4950FFD2-6D86-4291-B9D0-ACD31817DE33}\\2.0"));
  EXPECT_FALSE(s.exists("Interface\\{F18DA25B-6D14-49A9-A1DE-EA44814805BA}"));
  EXPECT_TRUE(s.exists("CLSID\\{00000000-1111-2222-3333-444444444444}"));
}

TEST(Registration, AControlAddsItsMarkersAndItsPropertyPageIsAClassOfItsOwn) {
  Registration r;
  ClassOptions o;
  o.control = true;
  o.threading_model = "Apartment";
  o.toolbox_bitmap = 7;
  o.misc_status = 131473;
  const Module m{"C:\\POS\\stylpad.ocx", "C:\\POS", false};
  add_class(r, signpad::styl::kClass, m, o);
  add_plain_class(r, {signpad::styl::kPropertyPageClsid, "Stylpad Property Page", signpad::styl::kPropertyPageProgId,
                      "Apartment"},
                  m);
  MemoryStore s;
  ASSERT_EQ(write_all(s, r).error, 0);
  const std::string key = "CLSID\\{562E8386-30A9-451E-9B75-DD0048C4B083}";
  EXPECT_TRUE(s.exists(key + "\\Control"));
  EXPECT_EQ(s.read(key + "\\ToolboxBitmap32", ""), "C:\\POS\\stylpad.ocx, 7");
  EXPECT_EQ(s.read(key + "\\MiscStatus", ""), "0");
  EXPECT_EQ(s.read(key + "\\MiscStatus\\1", ""), "131473");
  EXPECT_EQ(s.read(key + "\\Version", ""), "1.0");
  EXPECT_EQ(s.read(key + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_EQ(s.read("STYLPAD.StylPadCtrl", "CurVer"), std::nullopt);
  EXPECT_EQ(s.read("STYLPAD.StylPadCtrl\\CurVer", ""), "STYLPAD.StylPadCtrl.1");
  const std::string page = std::string("CLSID\\") + signpad::styl::kPropertyPageClsid;
  EXPECT_EQ(s.read(page, ""), "Stylpad Property Page");
  EXPECT_EQ(s.read(page + "\\InprocServer32", ""), m.path);
  EXPECT_EQ(s.read(page + "\\ProgID", ""), "STYLPAD.StylPadPropPage.1");
  EXPECT_EQ(s.read("STYLPAD.StylPadPropPage.1\\CLSID", ""), signpad::styl::kPropertyPageClsid);
  ASSERT_EQ(remove_all(s, r).error, 0);
  EXPECT_FALSE(s.exists("CLSID\\{562E8386-30A9-451E-9B75-DD0048C4B083}"));
  EXPECT_FALSE(s.exists(page));
  EXPECT_FALSE(s.exists("STYLPAD.StylPadPropPage.1"));
  EXPECT_TRUE(s.exists("CLSID"));
}

}  // namespace
}  // namespace pink::automation::registration
