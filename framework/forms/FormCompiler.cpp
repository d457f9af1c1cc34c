// Build step: turns the readable source of a form description into the binary
// stream that the program embeds.
//   formc SOURCE OUTPUT

#include "framework/core/Exception.h"
#include "framework/forms/FormStream.h"
#include "framework/forms/FormText.h"

#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: formc SOURCE OUTPUT\n";
        return 2;
    }
    std::ifstream source(argv[1]);
    if (!source) {
        std::cerr << "formc: cannot read " << argv[1] << "\n";
        return 1;
    }
    std::stringstream text;
    text << source.rdbuf();
    try {
        const std::vector<std::uint8_t> stream = WriteFormStream(ParseFormText(text.str()));
        std::ofstream output(argv[2], std::ios::binary);
        output.write(reinterpret_cast<const char*>(stream.data()), static_cast<std::streamsize>(stream.size()));
        if (!output) {
            std::cerr << "formc: cannot write " << argv[2] << "\n";
            return 1;
        }
    } catch (const Exception& e) {
        std::cerr << argv[1] << ": " << e.Message << "\n";
        return 1;
    }
    return 0;
}
