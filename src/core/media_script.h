// The script the program adds to every document it shows (every frame the engine lets it into):
// it only forwards what the page's media elements do, as the messages ParseMediaMessage reads,
// on the engine's channel. It defines nothing the page can see, sets no timer and never throws
// into the page; on a page without media it costs a few listeners.
#pragma once

namespace reprisa {

// The script's text (ASCII), one copy for both builds.
extern const char kMediaWatchScript[];
// The name of the channel on WebKit (its script message handler); WebView2 has one channel.
extern const char kMediaChannel[];

}  // namespace reprisa
