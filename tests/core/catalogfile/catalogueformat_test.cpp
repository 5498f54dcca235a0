// The checksum of padded names must equal the sum of the whole text: files already saved
// depend on it.
#include "catalogfile/catalogueformat.h"

#include <gtest/gtest.h>
#include <string>

using namespace cataloguefile;

TEST(Checksum, APaddedTextSumsAsTheWholeText)
{
    for (std::size_t length = 0; length < 40; ++length) {
        const std::string text = std::string("Résumé of a long folder name 0123456789").substr(0, length);
        for (std::size_t blanks = 0; blanks < 40; ++blanks) {
            Checksum whole, padded;
            whole.add(text + std::string(blanks, ' '));
            padded.addPadded(text, blanks);
            EXPECT_EQ(whole.value(), padded.value()) << length << " + " << blanks;
        }
    }
}
