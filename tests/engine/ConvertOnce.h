#pragma once

#include "engine/Lumiva.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

namespace lmvtest {

struct TConverted {
    std::string Out;
    std::size_t Consumed;
    int Error = 0; // what Convert returned
};

// One Convert call of Engine's open conversion over In, with OutSpace bytes of room.
inline TConverted ConvertOnce(TLumiva& Engine, const std::string& In, std::size_t OutSpace = 256)
{
    const char* inPtr = In.data();
    std::size_t inLeft = In.size();
    std::string out(OutSpace, '\0');
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    const int error = Engine.Convert(&inPtr, &inLeft, &outPtr, &outLeft);
    EXPECT_EQ(inPtr, In.data() + (In.size() - inLeft)) << "pointer and count move together";
    out.resize(out.size() - outLeft);
    return {out, In.size() - inLeft, error};
}

} // namespace lmvtest
