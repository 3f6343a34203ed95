// For tests: a theme that passes every rule, given the files it names
// (shot.png, grid.xml, sand.png) in its folder.
#pragma once

#include <string>

namespace nv {

inline const std::string kSoundTheme =
    "<theme name=\"Day\" screenshot=\"shot.png\">\n"
    "  <templates><detail mode=\"grid\" file=\"grid.xml\"/></templates>\n"
    "  <virtualshelf background=\"sand.png\"\n"
    "                uwidth=\"1\" uheight=\"1\" uhspace=\"1\" uvspace=\"1\"/>\n"
    "</theme>\n";

}  // namespace nv
