#include "core/media_script.h"

namespace reprisa {

const char kMediaChannel[] = "reprisaMedia";
const char kMediaPageChannel[] = "reprisaMediaPage";

// The script finds out where it runs from the channel it sees: WebKit's own world ("doc": the
// document's listeners only; the page's calls cannot be seen from there), WebKit's page world
// ("page": the page's calls only, for the players that world cannot reach), or WebView2 (the
// page's world with its one channel: both).
//
// Media events do not bubble, but a capture listener on the document (or on a shadow root) sees
// each of them before its element does: the first event of an element numbers it and puts
// listeners on the element itself, which the same dispatch still reaches and which go on hearing
// it after it was taken out of the document. A player that never is in the document, or sits in a
// shadow root, is taken when the page calls play() or load() on it or sets its source; every
// shadow root the page attaches gets the capture listeners too. The wrappers call the page's
// originals with the same this and arguments and return what they return; what goes wrong in ours
// stays in ours.
//
// The page runs after this script and can change everything it reaches: what the script uses is
// taken now and called through its own references, getters included (an element or an event can
// carry own properties that hide the prototype's). Only the engine's own events count (isTrusted
// is the event's own property, which no page can change). A message is one string put together
// from numbers and known words: no page setter, no toJSON is reached.
//
// "want": the page meant sound (its play event, or an autoplay element refused before it ever
// played, which never gets one). A new source is a new element number; a playing one is paused
// first. A page put in the back/forward cache is not gone: its playing players pause, and when it
// comes back it speaks as a new document. Time is sent at most every 5 s per element and only when
// it moved; the program judges time by its own clock, as a hidden page's timers may be slowed.
const char kMediaWatchScript[] = R"js((function () {
  'use strict';
  try {
    var w = window, F = Function.prototype, uncurry = F.bind.bind(F.call), apply = Reflect.apply;
    var describe = Object.getOwnPropertyDescriptor, define = Object.defineProperty;
    var channels = w.webkit && w.webkit.messageHandlers, handler, mode = 'all';
    if (channels && channels.reprisaMedia) {
      handler = channels.reprisaMedia;
      mode = 'doc';
    } else if (channels && channels.reprisaMediaPage) {
      handler = channels.reprisaMediaPage;
      mode = 'page';
    } else if (w.chrome && w.chrome.webview) {
      handler = w.chrome.webview;
    }
    if (!handler) return;
    var post = uncurry(handler.postMessage), now = Date.now, random = Math.random;
    var round = Math.round, Known = WeakMap, known = new Known(), doc = w.document;
    var has = uncurry(Known.prototype.has), get = uncurry(Known.prototype.get);
    var put = uncurry(Known.prototype.set), listen = uncurry(w.EventTarget.prototype.addEventListener);
    var M = w.HTMLMediaElement.prototype;
    var read = function (proto, key) { return uncurry(describe(proto, key).get); };
    var time = read(M, 'currentTime'), duration = read(M, 'duration'), paused = read(M, 'paused');
    var ended = read(M, 'ended'), muted = read(M, 'muted'), volume = read(M, 'volume');
    var rate = read(M, 'playbackRate'), autoplay = read(M, 'autoplay');
    var root = uncurry(w.Node.prototype.getRootNode);
    var target = read(w.Event.prototype, 'target'), type = read(w.Event.prototype, 'type');
    var persisted = read(w.PageTransitionEvent.prototype, 'persisted');
    // DOM event -> what it says; "new": a new source, "sound": the sound turned on or off.
    var kinds = {__proto__: null, play: 'want', playing: 'play', timeupdate: 'time',
                 pause: 'pause', ended: 'end', error: 'error', waiting: 'wait', stalled: 'wait',
                 abort: 'pause', emptied: 'new', loadstart: 'new', volumechange: 'sound',
                 ratechange: 'sound'};
    var id = '', count = 0, live = {__proto__: null};  // live: number -> state of those playing
    var fresh = function () {
      var letters = 'abcdefghijklmnopqrstuvwxyz0123456789', s = '';
      for (var i = 0; i < 12; i++) s += letters[random() * 36 | 0];
      id = s;
    };
    fresh();

    var send = function (ev, s) {
      try {
        var text = '{"v":1,"doc":"' + id + '","el":' + (s ? s.n : 0) + ',"ev":"' + ev + '"';
        if (s) {
          // A stream's duration turns finite when its connection ends: its source has no end.
          var t = time(s.m);
          s.inf = s.inf || duration(s.m) === 1 / 0;
          text += ',"t":' + (t >= 0 && t < 1e9 ? round(t * 1000) / 1000 : 0) + ',"inf":' + s.inf;
        }
        post(handler, text + '}');
      } catch (x) {}
    };
    var say = function (s, ev) {
      s.said = true;
      if (ev === 'play' || ev === 'time' || ev === 'wait') live[s.n] = s;
      else if (ev !== 'want') delete live[s.n];
      send(ev, s);
    };
    var number = function (s) {
      count = count < 999999 ? count + 1 : 1;
      s.n = count;
    };

    var report = function (e) {
      try {
        if (!e.isTrusted) return;
        var media = target(e), s = get(known, media), ev = kinds[type(e)];
        if (!s || !ev) return;
        if (ev === 'new') {
          // The first source may start loading after play() was heard: its loadstart is no news.
          var renew = s.said && (type(e) === 'emptied' || s.loading);
          s.loading = type(e) === 'loadstart';
          if (!renew) return;
          if (s.n in live) say(s, 'pause');
          number(s);
          s.said = s.played = s.wanted = s.inf = false;
          s.sent = 0;
          s.t = -1;
          return;
        }
        // A muted player, or one whose rate is 0, is silent: it counts as paused.
        var silent = muted(media) || volume(media) === 0 || rate(media) === 0;
        if (ev === 'want' || (ev === 'error' && !s.played && !s.wanted && autoplay(media))) {
          if (!silent) {
            s.wanted = true;
            say(s, 'want');
          }
          if (ev === 'want') return;
        }
        if (ev === 'sound') {
          if (paused(media) || ended(media) || silent === s.silent) return;
          s.silent = silent;
          ev = silent ? 'pause' : 'play';
        } else if (ev === 'play') {
          s.silent = silent;
          s.played = true;
          if (silent) ev = 'pause';
        }
        // A seek while paused updates the time, a paused element may still fetch: no playing.
        if ((ev === 'time' || ev === 'wait') && (paused(media) || ended(media) || silent)) return;
        if (ev === 'time') {
          var at = now(), t = time(media);
          if (t === s.t || (at >= s.sent && at - s.sent < 5000)) return;
          s.sent = at;
          s.t = t;
        }
        say(s, ev);
      } catch (x) {}
    };
    var adopt = function (media) {
      if (has(known, media)) return;
      paused(media);  // throws for anything but a media element
      var s = {__proto__: null, m: media, n: 0, sent: 0, t: -1, silent: false, said: false,
               played: false, wanted: false, loading: false, inf: false};
      number(s);
      put(known, media, s);
      for (var k in kinds) listen(media, k, report);
    };
    var heard = function (e) {
      try {
        if (e.isTrusted) adopt(target(e));
      } catch (x) {}
    };
    var watch = function (node) {
      for (var k in kinds) listen(node, k, heard, true);
    };

    if (mode !== 'page') watch(doc);
    if (mode !== 'doc') {
      // The page's world on WebKit leaves the document's players to the program's own world.
      var take = function (media) {
        try {
          if (mode === 'all' || root(media) !== doc) adopt(media);
        } catch (x) {}
      };
      var play = M.play, load = M.load, src = describe(M, 'src').set;
      var attach = w.Element.prototype.attachShadow;
      var wrappers = {
        play() { take(this); return apply(play, this, arguments); },
        load() { take(this); return apply(load, this, arguments); },
        set src(v) { take(this); apply(src, this, arguments); },
        attachShadow(init) {
          var shadow = apply(attach, this, arguments);
          try { watch(shadow); } catch (x) {}
          return shadow;
        }
      };
      var hook = function (proto, key, part, fn) {
        try {
          var d = describe(proto, key);
          if (typeof d[part] !== 'function') return;
          d[part] = fn;
          define(proto, key, d);
        } catch (x) {}
      };
      hook(M, 'play', 'value', wrappers.play);
      hook(M, 'load', 'value', wrappers.load);
      hook(M, 'src', 'set', describe(wrappers, 'src').set);
      hook(w.Element.prototype, 'attachShadow', 'value', wrappers.attachShadow);
    }

    listen(w, 'pagehide', function (e) {
      try {
        if (!e.isTrusted) return;
        if (!persisted(e)) {
          if (count) send('bye', null);
          return;
        }
        for (var n in live) say(live[n], 'pause');
      } catch (x) {}
    });
    listen(w, 'pageshow', function (e) {
      try {
        if (e.isTrusted && persisted(e)) fresh();
      } catch (x) {}
    });
  } catch (x) {}
})();
)js";

}  // namespace reprisa
