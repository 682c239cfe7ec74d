// Scripts the WebKit backend injects into pages: window.external for every document, and
// the frame reporter that tells the host about navigations inside frames.
#pragma once

namespace kelvra::browser::gtk {

// Script world of the host's own scripts (frame reports, document queries), kept apart from
// the page's scripts.
inline constexpr const char* kHostWorld = "kelvra-host";
// Message channel of the frame reporter, in kHostWorld: "navigate\n<address>" or
// "complete\n<address>" for a frame, "title\n<title>" for the top document.
inline constexpr const char* kFrameChannel = "kelvraFrame";

// window.external in the page's own world. The property, the member lookup (any letter case)
// and the argument counts are answered inside the page; CreateVantle hands its six values and
// their kinds, as JSON, to the native call the web process extension leaves, which returns
// the client's reply once the hand-off has run.
const char* ExternalObjectScript();

// Reports every frame's document on kFrameChannel: "navigate" when the document starts,
// "complete" at its load event. The top document reports its title at its load event, which
// WebKit's own title property may only learn after the load has finished.
const char* FrameReporterScript();

// The anchors' query of Doc3: an array of [href, [[attribute, value], ...]] for the elements
// with the tag name given as argument "tag".
const char* ElementQueryFunctionBody();

}  // namespace kelvra::browser::gtk
