// TLumiva over the stand-in libraries: binding, the exact lists, name checks and the open conversion.
#include "engine/Lumiva.h"
#include "tests/common/FixedLibraryLists.h"
#include "tests/engine/ConvertOnce.h"
#include "util/ProgramFolder.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <memory>
#include <string>

namespace {

const std::string FixedLibrary = "liblumiva-iconv-fixed.so";
const std::string NoListLibrary = "liblumiva-iconv-nolist.so";
const std::string MissingLibrary = "liblumiva-iconv-missing.so";

// By full path, as the engine loads: a sanitizer's dlopen would not find a bare name.
bool IsLoaded(const std::string& Name)
{
    void* handle = dlopen(ProgramFolderFile(Name).c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

// Keeps the fixed library loaded beyond an engine's life and reads its counts of open conversions
// and of listings.
class TFixedLibraryProbe {
public:
    TFixedLibraryProbe() : Handle(dlopen(ProgramFolderFile(FixedLibrary).c_str(), RTLD_NOW))
    {
        if (Handle) {
            Count = reinterpret_cast<int (*)()>(dlsym(Handle, "lumiva_fixture_open_count"));
            Listings = reinterpret_cast<int (*)()>(dlsym(Handle, "lumiva_fixture_list_count"));
        }
    }
    ~TFixedLibraryProbe()
    {
        if (Handle)
            dlclose(Handle);
    }
    TFixedLibraryProbe(const TFixedLibraryProbe&) = delete;
    TFixedLibraryProbe& operator=(const TFixedLibraryProbe&) = delete;

    bool Ready() const { return Count != nullptr && Listings != nullptr; }
    int OpenConversions() const { return Count(); }
    int ListingCalls() const { return Listings(); }

private:
    void* Handle;
    int (*Count)() = nullptr;
    int (*Listings)() = nullptr;
};

std::string StartError(TLumiva& Engine, const std::string& From, const std::string& To, std::int32_t Translation)
{
    try {
        Engine.Start(From, To, Translation);
    } catch (const TLumiva::EStartError& error) {
        return error.what();
    }
    return "(started)";
}

std::string InitError(const std::string& Library)
{
    try {
        TLumiva engine(Library);
    } catch (const TLumiva::EInitError& error) {
        return error.what();
    }
    return "(loaded)";
}

TEST(LumivaInit, ALibraryThatCannotServeRaisesAndIsLeftUnloaded)
{
    for (const std::string& library : {MissingLibrary, NoListLibrary}) {
        ASSERT_FALSE(IsLoaded(library));
        EXPECT_EQ(InitError(library), "Cannot initialize \"" + library + "\"");
        EXPECT_FALSE(IsLoaded(library));
    }
}

TEST(LumivaInit, EngineHoldsItsLibraryUntilDestroyed)
{
    ASSERT_FALSE(IsLoaded(FixedLibrary));
    {
        auto engine = std::make_unique<TLumiva>(FixedLibrary);
        EXPECT_TRUE(IsLoaded(FixedLibrary));
    }
    EXPECT_FALSE(IsLoaded(FixedLibrary));
}

class LumivaFixed : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Probe.Ready()); }

    TFixedLibraryProbe Probe;
    TLumiva Engine{FixedLibrary};
};

TEST_F(LumivaFixed, StartFindsNamesInAnyCase)
{
    EXPECT_NO_THROW(Engine.Start("latin1", "utf-16le", 0));
    EXPECT_EQ(Probe.OpenConversions(), 1);
    EXPECT_NO_THROW(Engine.Start("KOI8-R", "Utf-8", 2));
    EXPECT_EQ(Probe.OpenConversions(), 1) << "a new Start closes the open conversion first";
    Engine.Close();
    EXPECT_EQ(Probe.OpenConversions(), 0);
}

// A refused start names its first fault and closes the conversion that was open.
TEST_F(LumivaFixed, ARefusedStartNamesItsFirstFaultAndClosesTheOpenConversion)
{
    struct TCase {
        const char* From;
        const char* To;
        std::int32_t Translation;
        const char* Message;
    };
    const TCase cases[] = {
        {"NOPE", "UTF-16", 0, "Invalid encoding: NOPE"},
        {"UTF-8", "NOPE", 1, "Invalid encoding: NOPE"},
        {"NOPE", "ALSO-NOPE", 3, "Invalid encoding: NOPE"},
        {"UTF-8", "NOPE", 3, "Invalid encoding: NOPE"},
        {"UTF-8", "UTF-16", 3, "Invalid translation identifier"},
        {"UTF-8", "UTF-16", -1, "Invalid translation identifier"},
        // Suffixes come only from the translation.
        {"UTF-8", "UTF-16LE//IGNORE", 0, "Invalid encoding: UTF-16LE//IGNORE"},
        {"UTF-8//TRANSLIT", "UTF-16LE", 0, "Invalid encoding: UTF-8//TRANSLIT"},
        {"UTF-8", "utf-16le//translit", 1, "Invalid encoding: utf-16le//translit"},
        // Names the C library would read otherwise (a blank it drops, a comma that starts
        // suffixes), even where a listing offers them.
        {"MY ENC", "UTF-8", 0, "Invalid encoding: MY ENC"},
        {"UTF-8", "A,B", 0, "Invalid encoding: A,B"},
        {"KOI8-R", "ASCII", 0, "Cannot start converting character encoding"},
    };
    for (const TCase& c : cases) {
        Engine.Start("ISO-8859-1", "UTF-8", 0);
        ASSERT_EQ(Probe.OpenConversions(), 1);
        EXPECT_EQ(StartError(Engine, c.From, c.To, c.Translation), c.Message) << c.From << " -> " << c.To;
        EXPECT_EQ(Probe.OpenConversions(), 0) << c.From << " -> " << c.To;
    }
    EXPECT_FALSE(Engine.IsValidEncoding(""));
    EXPECT_TRUE(Engine.IsValidEncoding("koi8-R"));
}

// The listing makes the C library load every module: nothing but showing the names asks for it.
TEST_F(LumivaFixed, TheLibraryListsOnlyWhenNamesAreAskedFor)
{
    const int before = Probe.ListingCalls();
    Engine.Start("latin1", "utf-16le", 2);
    Engine.Close();
    EXPECT_TRUE(Engine.IsValidEncoding("UTF8"));
    EXPECT_FALSE(Engine.IsValidEncoding("NOPE"));
    EXPECT_EQ(Probe.ListingCalls(), before);

    // Sorted (the names case-blind), joined and quoted; what the lists held before goes.
    TStringList groups{"left over"};
    Engine.GetGroups(groups);
    EXPECT_EQ(groups.Text(), lmvtest::FixedLibraryGroupsText());
    TStringList names{"left over"};
    Engine.GetNames(names);
    EXPECT_EQ(names.Strings(), lmvtest::FixedLibraryNames());
    EXPECT_EQ(Engine.NameList(), names);
    EXPECT_EQ(Probe.ListingCalls(), before + 1);
}

TEST_F(LumivaFixed, FailedStartLeavesNoSignatureToSkip)
{
    Engine.Start("UTF-8", "UTF-16LE", 0);
    EXPECT_THROW(Engine.Start("UTF-8", "NOPE", 0), TLumiva::EStartError);
    // A plain UTF-8 conversion opened afterwards through another source name keeps every byte.
    Engine.Start("UTF8", "UTF-16LE", 0);
    EXPECT_EQ(lmvtest::ConvertOnce(Engine, "\xEF\xBB\xBF", 8).Out, "\xFF\xFE");
}

TEST_F(LumivaFixed, CloseIsAlwaysSafe)
{
    Engine.Close();
    Engine.Close();
    EXPECT_EQ(Probe.OpenConversions(), 0);
    Engine.Start("ASCII", "UTF-8", 0);
    Engine.Close();
    Engine.Close();
    // Kept for a Start of the same conversion, the next file's in a run.
    EXPECT_EQ(Probe.OpenConversions(), 1);
    Engine.Start("ASCII", "UTF-8", 0);
    EXPECT_EQ(Probe.OpenConversions(), 1);
    Engine.Close();
    // Another conversion, or one whose source keeps a state across a reset, opens anew.
    Engine.Start("ASCII", "UTF-8", 1);
    EXPECT_EQ(Probe.OpenConversions(), 1);
    Engine.Close();
    Engine.Start("KOI8-R", "UTF-8", 1);
    Engine.Close();
    EXPECT_EQ(Probe.OpenConversions(), 0);
}

TEST(LumivaFixedLife, DestructionClosesTheOpenConversion)
{
    TFixedLibraryProbe probe;
    ASSERT_TRUE(probe.Ready());
    {
        TLumiva engine(FixedLibrary);
        engine.Start("ASCII", "UTF-16", 1);
        EXPECT_EQ(probe.OpenConversions(), 1);
    }
    EXPECT_EQ(probe.OpenConversions(), 0);
}

} // namespace
