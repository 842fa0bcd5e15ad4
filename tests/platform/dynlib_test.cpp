// Dynamic libraries by base name: the program's own folder first, then the
// loader's search path.
#include "platform/dynlib.h"

#include <gtest/gtest.h>

#include <string>

#include "tools/testkit/testkit.h"

namespace pink {
namespace {

namespace tk = pink::testkit;

TEST(DynamicLibrary, LoadsTheCopyBesideTheProgramAndResolvesExportsOrReportsAMissingOne) {
  EXPECT_EQ(dynlib::file_name("rcptlib"), "librcptlib.so");

  auto lib = dynlib::load("pink_dynlib_beside");
  ASSERT_TRUE(lib) << lib.why();
  EXPECT_EQ(lib->path(), dynlib::program_folder() + "/libpink_dynlib_beside.so");
  auto where = lib->function<const char* (*)()>("FixtureWhere");
  ASSERT_NE(where, nullptr);
  EXPECT_STREQ(where(), "beside");
  auto add = lib->function<int (*)(int, int)>("FixtureAdd");
  ASSERT_NE(add, nullptr);
  EXPECT_EQ(add(40, 2), 42);
  EXPECT_EQ(lib->symbol("NoSuchExport"), nullptr);

  // A missing library is reported, not thrown.
  auto missing = dynlib::load("pink_no_such_library");
  EXPECT_FALSE(missing);
  EXPECT_NE(missing.why().find("libpink_no_such_library.so"), std::string::npos) << missing.why();
}

TEST(DynamicLibrary, ProgramFolderComesBeforeTheSearchPath) {
  const std::string fixtures = dynlib::program_folder() + "/dynlib_fixture";
  tk::RunOptions options;
  options.env["LD_LIBRARY_PATH"] = fixtures + "/far";
  const auto r = tk::run(fixtures + "/near/pink_dynlib_probe",
                         {"pink_dynlib_fixture", "pink_dynlib_fixture_far_only", "pink_dynlib_nowhere"}, options);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_code, 1) << r.out << r.err;  // one library is nowhere
  EXPECT_NE(r.out.find("pink_dynlib_fixture: near from " + fixtures + "/near/libpink_dynlib_fixture.so\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("pink_dynlib_fixture_far_only: far only from libpink_dynlib_fixture_far_only.so\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("pink_dynlib_nowhere: not loaded: "), std::string::npos) << r.out;
}

// A POS written in another language, started from its own folder, loads a
// library of the suite by its full path; that library loads its companion by
// name and must find the copy beside itself, before the program's folder
// and the search path.
TEST(DynamicLibrary, ALibraryLoadedFromAnotherFolderFindsItsCompanionBesideItself) {
  const std::string fixtures = dynlib::program_folder() + "/dynlib_fixture";
  tk::TempDir pos;
  tk::RunOptions options;
  options.cwd = pos.path();
  options.env["LD_LIBRARY_PATH"] = fixtures + "/far";
  const std::string script = R"(
import ctypes, sys
asker = ctypes.CDLL(sys.argv[1])
out = ctypes.create_string_buffer(4096)
for name in sys.argv[2:]:
    ok = asker.AskerLoad(name.encode(), out, len(out))
    print(ok, out.value.decode())
)";
  const auto r = tk::run_python(script,
                                {fixtures + "/asker/libpink_dynlib_asker.so", "pink_dynlib_fixture",
                                 "pink_dynlib_fixture_far_only", "pink_dynlib_nowhere"},
                                options);
  ASSERT_FALSE(r.timed_out);
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("1 asker from " + fixtures + "/asker/libpink_dynlib_fixture.so\n"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("1 far only from libpink_dynlib_fixture_far_only.so\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("0 not loaded: "), std::string::npos) << r.out;
}

TEST(DynamicLibrary, ModuleFolderIsTheProgramsOwnForCodeLinkedIntoAProgram) {
  EXPECT_EQ(dynlib::module_folder(), dynlib::program_folder());
  EXPECT_EQ(dynlib::beside_module("msgcall.ini"), dynlib::program_folder() + "/msgcall.ini");
}

}  // namespace
}  // namespace pink
