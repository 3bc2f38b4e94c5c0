// What a written file keeps of a document: each kind of content that a
// conversion may leave out. Everything is kept unless turned off.
#pragma once

namespace qwz::api {

struct Keep {
    bool circles = true;    // circles and lights
    bool lines = true;
    bool polylines = true;
    bool arcs = true;
    bool uv = true;         // UV blocks of the extra data (203 and 204 only)
    bool zones = true;      // scaling zones (203 and 204 only)
    bool other = true;      // other extra-data blocks (203 and 204 only)
};

}  // namespace qwz::api
