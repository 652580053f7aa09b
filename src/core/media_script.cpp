#include "core/media_script.h"

namespace reprisa {

const char kMediaChannel[] = "reprisaMedia";

// Media events do not bubble, but a capture listener on the document sees each of them before its
// element does: the first event of an element numbers it and puts listeners on the element itself,
// which still hear it after it was taken out of the document. An event heard twice in one dispatch
// (the document's listener, then the element's new one) is sent once. Time is sent at most every
// 5 s per element and only when it moved; the program judges time by its own clock, as a hidden
// page's timers may be slowed.
const char kMediaWatchScript[] = R"js((function () {
  'use strict';
  try {
    var w = window, handler = null;
    if (w.webkit && w.webkit.messageHandlers && w.webkit.messageHandlers.reprisaMedia) {
      handler = w.webkit.messageHandlers.reprisaMedia;
    } else if (w.chrome && w.chrome.webview) {
      handler = w.chrome.webview;
    }
    if (!handler || typeof handler.postMessage !== 'function') return;
    // Taken now, before the page's own scripts run: what the page changes later does not matter.
    var post = Function.prototype.call.bind(handler.postMessage, handler);
    var stringify = JSON.stringify, now = Date.now, random = Math.random, round = Math.round;
    var Media = w.HTMLMediaElement, Known = w.WeakMap, doc = w.document;
    if (!Media || !Known || !doc) return;
    var letters = 'abcdefghijklmnopqrstuvwxyz0123456789', id = '';
    for (var i = 0; i < 12; i++) id += letters.charAt(Math.floor(random() * 36));
    // A player stopped by taking its source away is paused without a pause event: emptied (or
    // abort) says so. A muted player, or one whose rate is 0, is silent: it counts as paused.
    var types = ['playing', 'timeupdate', 'pause', 'ended', 'error', 'waiting', 'stalled',
                 'emptied', 'abort', 'volumechange', 'ratechange'];
    var kinds = {playing: 'play', timeupdate: 'time', pause: 'pause', ended: 'end',
                 error: 'error', waiting: 'wait', stalled: 'wait', emptied: 'pause',
                 abort: 'pause', volumechange: 'play', ratechange: 'play'};
    var known = new Known(), count = 0, last = null;

    var send = function (ev, el, media) {
      try {
        var message = {v: 1, doc: id, el: el, ev: ev};
        if (media) {
          var t = media.currentTime;
          message.t = t >= 0 && t < 1e9 ? round(t * 1000) / 1000 : 0;
          message.inf = media.duration === Infinity;
        }
        post(stringify(message));
      } catch (x) {}
    };

    var report = function (e) {
      try {
        var media = e.target, state = known.get(media), ev = kinds[e.type];
        if (!state || !ev || e === last) return;
        last = e;
        var silent = media.muted || media.volume === 0 || media.playbackRate === 0;
        if (ev === 'play' && e.type !== 'playing') {
          // The sound turned on or off: a playing element starts or stops counting.
          if (media.paused || media.ended) return;
          if (silent === state.silent) return;
          state.silent = silent;
          if (silent) ev = 'pause';
        } else if (ev === 'play') {
          state.silent = silent;
          if (silent) ev = 'pause';
        }
        // A seek while paused updates the time, a paused element may still fetch: no playing.
        if ((ev === 'time' || ev === 'wait') && (media.paused || media.ended || silent)) return;
        if (ev === 'time') {
          var at = now(), t = media.currentTime;
          if (t === state.t || (at >= state.sent && at - state.sent < 5000)) return;
          state.sent = at;
          state.t = t;
        }
        send(ev, state.n, media);
      } catch (x) {}
    };

    var adopt = function (e) {
      try {
        var media = e.target;
        if (!(media instanceof Media) || known.has(media)) return;
        count = count < 999999 ? count + 1 : 1;
        known.set(media, {n: count, sent: 0, t: -1, silent: false});
        for (var k = 0; k < types.length; k++) media.addEventListener(types[k], report);
        report(e);
      } catch (x) {}
    };

    for (var j = 0; j < types.length; j++) doc.addEventListener(types[j], adopt, true);
    w.addEventListener('pagehide', function () {
      if (count) send('bye', 0, null);
    });
  } catch (x) {}
})();
)js";

}  // namespace reprisa
