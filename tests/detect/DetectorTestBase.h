#pragma once

#include "engine/Lumiva.h"
#include "tests/common/IconvOnce.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

// One engine for a suite of detection tests, and fixtures written in UTF-8 encoded for them.
class DetectorTestBase : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Engine = std::make_unique<TLumiva>(); }
    static void TearDownTestSuite() { Engine.reset(); }

    static std::string Encode(const std::string& Utf8, const std::string& Encoding)
    {
        const auto bytes = lmvtest::IconvOnce("UTF-8", Encoding, Utf8);
        if (!bytes)
            ADD_FAILURE() << "cannot encode the fixture in " << Encoding;
        return bytes.value_or(std::string());
    }

    static inline std::unique_ptr<TLumiva> Engine;
};
