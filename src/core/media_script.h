// The script the program adds to every document it shows (every frame the engine lets it into):
// it only forwards what the page's media elements do, as the messages ParseMediaMessage reads,
// on the engine's channel. It defines no global, sets no timer and never throws into the page;
// on a page without media it costs a few listeners. Where it runs in the page's own world it
// wraps the media elements' play(), load() and source setter and Element's attachShadow(), to
// hear players made outside the document: the wrappers do what the originals do.
#pragma once

namespace reprisa {

// The script's text (ASCII), one copy for both builds and both of WebKit's worlds.
extern const char kMediaWatchScript[];
// The names of the channels on WebKit (script message handlers): the one in the program's own
// script world, and the one in the page's world, which the page can post on too. WebView2 has one
// channel.
extern const char kMediaChannel[];
extern const char kMediaPageChannel[];

}  // namespace reprisa
