#pragma once

#include "engine/Lumiva.h"
#include "run/ContentError.h"
#include "run/FileConverter.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace lmvtest {

// Converts Source into the file named Target, opened as a run opens its temporary file.
template <typename TConverter>
void ConvertInto(TConverter&& Converter, const std::string& Source, const std::string& Target)
{
    const int fd = ::open(Target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    try {
        Converter.ConvertFile(Source, fd);
    } catch (...) {
        if (fd >= 0)
            ::close(fd);
        throw;
    }
    if (fd >= 0)
        ::close(fd);
}

// What one TFileConverter call did.
struct TConversion {
    bool Failed = false;
    std::string Error;  // the message; empty on success
    std::string Where;  // the position a content error names; empty otherwise
    std::string Output; // the temporary file afterwards (conversions only)
};

// One engine for the whole suite, and a source and a temporary file in a fresh folder per test.
// Base is testing::Test or a testing::TestWithParam<>.
template <typename Base = testing::Test>
class TConverterFixture : public Base {
protected:
    static void SetUpTestSuite() { Engine = new TLumiva(); }
    static void TearDownTestSuite()
    {
        delete Engine;
        Engine = nullptr;
    }

    // Writes Text into the source and converts it into a fresh empty temporary file.
    TConversion Run(const std::string& Text, const std::string& From, const std::string& To, std::int32_t BufferSize,
                    const std::string& Signature = {}, std::int32_t Translation = 0)
    {
        WriteFile(Source, Text);
        return RunFile(Source, From, To, BufferSize, Signature, Translation);
    }

    TConversion RunFile(const std::string& SourceName, const std::string& From, const std::string& To,
                        std::int32_t BufferSize, const std::string& Signature = {}, std::int32_t Translation = 0)
    {
        WriteFile(Temp, "");
        TConversion result = Attempt([&] { ConvertInto(Converter(From, To, Translation, BufferSize, Signature), SourceName, Temp); });
        result.Output = ReadFile(Temp);
        return result;
    }

    // Checks the source as it stands.
    TConversion Check(const std::string& From, const std::string& To, std::int32_t BufferSize,
                      std::int32_t Translation = 0)
    {
        return Attempt([&] { Converter(From, To, Translation, BufferSize, {}).CheckFile(Source); });
    }

    // A converter as the calls above make it, with the fixture's StreamAbove and OnRead.
    TFileConverter Converter(const std::string& From, const std::string& To, std::int32_t Translation,
                             std::int32_t BufferSize, const std::string& Signature)
    {
        TFileConverter converter(*Engine, From, To, Translation, BufferSize, Signature);
        converter.StreamAbove = StreamAbove;
        converter.OnRead = OnRead;
        return converter;
    }

    inline static TLumiva* Engine = nullptr;
    TempDir Dir;
    std::string Source = Dir / "source";
    std::string Temp = Dir / "LMVtemp";
    std::uint64_t StreamAbove = DefaultStreamAbove;
    std::function<void(std::uint64_t Done, std::uint64_t Size)> OnRead;

private:
    template <typename TCall>
    static TConversion Attempt(TCall Call)
    {
        TConversion result;
        try {
            Call();
        } catch (const EContentError& e) {
            result = {true, e.what(), e.Where, {}};
        } catch (const EConvertError& e) {
            result = {true, e.what(), {}, {}};
        }
        return result;
    }
};

} // namespace lmvtest
