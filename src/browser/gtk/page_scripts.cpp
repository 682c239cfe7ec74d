#include "browser/gtk/page_scripts.h"

namespace kelvra::browser::gtk {

const char* ExternalObjectScript() {
    // The native call's global name is substituted for KELVRA_INVOKE by the backend.
    return R"JS((function () {
  'use strict';
  // The extension's native call, taken before any page script runs and gone from the window.
  var invoke = window.KELVRA_INVOKE;
  delete window.KELVRA_INVOKE;
  if (typeof invoke !== 'function') return;
  var stringify = JSON.stringify, parse = JSON.parse, isInteger = Number.isInteger;
  var PageError = Error;
  var NO_MEMBER = "Object doesn't support this property or method";
  var BAD_COUNT = 'Wrong number of arguments or invalid property assignment';

  // The automation kind a script value arrives as: the OLE VARIANT type number.
  function kindOf(value) {
    if (value === undefined) return 0;
    if (value === null) return 1;
    switch (typeof value) {
      case 'string': return 8;
      case 'boolean': return 11;
      case 'number':
        return isInteger(value) && value >= -2147483648 && value <= 2147483647 &&
               !(value === 0 && 1 / value < 0) ? 3 : 5;
      case 'bigint': return 5;
      default: return 9;
    }
  }

  function CreateVantle(crs_id, crs_name, crs_classify, crs_username, crs_knowid, crs_url) {
    if (arguments.length !== 6) throw new PageError(BAD_COUNT);
    var args = [];
    for (var i = 0; i < 6; ++i) {
      var kind = kindOf(arguments[i]);
      args.push(kind === 8 ? { vt: 8, text: arguments[i] } : { vt: kind });
    }
    // Returns once the client has run the hand-off; its failure becomes this call's.
    var answer = parse(invoke(stringify({ member: 'CreateVantle', args: args })));
    if (!answer.ok) throw new PageError(answer.message);
  }

  function ShowHint(hint_tilte, hint_content) {
    if (arguments.length !== 2) throw new PageError(BAD_COUNT);
  }

  var members = { createvantle: CreateVantle, showhint: ShowHint };
  var external = new Proxy(Object.create(null), {
    get: function (target, name) {
      if (typeof name !== 'string') return undefined;
      var key = name.toLowerCase();
      if (key === 'getkelvraapp') return 'kelvraeduapp';
      if (Object.prototype.hasOwnProperty.call(members, key)) return members[key];
      // Probed by promise resolution and JSON serialisation: absent, not an error.
      if (name === 'then' || name === 'toJSON') return undefined;
      throw new TypeError(NO_MEMBER);
    },
    has: function (target, name) {
      return typeof name === 'string' &&
             (name.toLowerCase() === 'getkelvraapp' ||
              Object.prototype.hasOwnProperty.call(members, name.toLowerCase()));
    },
    set: function () { throw new TypeError(NO_MEMBER); },
    defineProperty: function () { throw new TypeError(NO_MEMBER); },
    deleteProperty: function () { throw new TypeError(NO_MEMBER); }
  });
  Object.defineProperty(window, 'external', {
    configurable: true, enumerable: true, get: function () { return external; }
  });
})();
)JS";
}

const char* FrameReporterScript() {
    return R"JS((function () {
  var channel = window.webkit.messageHandlers.kelvraFrame;
  if (window === window.top) {
    // pageshow also comes when the document returns from the back-forward cache.
    var report = function () { channel.postMessage('title\n' + document.title); };
    window.addEventListener('load', report);
    window.addEventListener('pageshow', report);
    return;
  }
  channel.postMessage('navigate\n' + location.href);
  window.addEventListener('load', function () {
    channel.postMessage('complete\n' + location.href);
  });
})();
)JS";
}

const char* ElementQueryFunctionBody() {
    return R"JS(if (!(document instanceof HTMLDocument)) throw new Error('The page holds no HTML document');
return Array.from(document.getElementsByTagName(tag), function (e) {
  var href = 'href' in e ? String(e.href) : null;
  return [href, Array.from(e.attributes, function (a) { return [a.name, a.value]; })];
});
)JS";
}

}  // namespace kelvra::browser::gtk
