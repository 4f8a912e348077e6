#include "tests/common/FixedLibraryLists.h"

namespace lmvtest {

std::vector<std::string> FixedLibraryNames()
{
    return {"", "A,B", "ASCII", "CP819", "ISO-8859-1", "koi8-r", "LATIN1", "MY ENC", "Q\"T",
            "TAB\tNAME", "UTF-16", "UTF-16LE", "UTF-8", "UTF8"};
}

std::string FixedLibraryGroupsText()
{
    return "\"\"\r\n"
           "\"A,B\",\"MY ENC\",\"Q\"\"T\"\r\n"
           "\"TAB\tNAME\"\r\n"
           "ASCII\r\n"
           "CP819,ISO-8859-1,LATIN1\r\n"
           "koi8-r\r\n"
           "UTF-16\r\n"
           "UTF-16LE\r\n"
           "UTF-8,UTF8\r\n";
}

} // namespace lmvtest
