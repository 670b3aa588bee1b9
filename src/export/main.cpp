// pixvue-export: writes pictures found with the viewer as PNG images. It needs no display:
// QImage encodes PNG without any application object.
#include <iostream>
#include <string>
#include <variant>
#include <vector>

#include "export/arguments.h"
#include "export/exporter.h"

int main(int argc, char** argv) {
    using namespace pixvue::exporter;
    const ParseResult parsed = parseArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (std::holds_alternative<HelpRequested>(parsed)) {
        std::cout << helpText();
        return 0;
    }
    if (std::holds_alternative<VersionRequested>(parsed)) {
        std::cout << versionText();
        return 0;
    }
    if (const auto* error = std::get_if<UsageError>(&parsed)) {
        std::cerr << "pixvue-export: " << error->problem << '\n' << usageText();
        return 2;
    }
    return runExport(std::get<ExportOptions>(parsed), std::cout, std::cerr);
}
