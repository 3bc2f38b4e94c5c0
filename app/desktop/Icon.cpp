// The program's icon as drawn for the window (app/window/make-icon.sh): a
// blue file with a downward arrow, an older version.
#include "app/desktop/FileManagerFiles.h"

namespace qwz {

std::string IconSvg() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 256 256\">\n"
           "  <path d=\"M 40,16 L 164,16 L 216,68 L 216,240 L 40,240 Z\" fill=\"#1e5aa8\" stroke=\"#0d2f5c\""
           " stroke-width=\"8\"/>\n"
           "  <path d=\"M 164,16 L 164,68 L 216,68 Z\" fill=\"#7fb2ea\" stroke=\"#0d2f5c\" stroke-width=\"8\"/>\n"
           "  <path d=\"M 104,72 L 152,72 L 152,148 L 188,148 L 128,212 L 68,148 L 104,148 Z\" fill=\"#ffffff\"/>\n"
           "</svg>\n";
}

}  // namespace qwz
