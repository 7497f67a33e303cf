// Helpers that JsonDocument calls by name, and JSON where the engine has none.
// Kept to plain ASCII: the file reaches the engine byte for byte as GBK text.

// Appends every string, number and boolean under str_json to the global str_all;
// objects and arrays are entered only when recursion is true.
function get__nodeValue(str_json, recursion) {
  for (var i in str_json) {
    var a = Object.prototype.toString.call(str_json[i]);
    if (a == '[object Object]' || a == '[object Array]') {
      if (recursion) get__nodeValue(str_json[i], recursion);
    } else if (a == '[object String]' || a == '[object Number]' || a == '[object Boolean]') {
      str_all.push(str_json[i]);
    }
  }
  return str_all;
}

function get__count(c) {
  return Object.prototype.toString.call(c) == '[object Array]' ? c.length : 0;
}

// Member names of an object, one per line; methods (the two that every object
// inherits below included) are left out.
function get__name_All(a) {
  if (Object.prototype.toString.call(a) != '[object Object]') return '';
  var names = [];
  for (var i in a) {
    if (typeof a[i] != 'function') names.push(i);
  }
  return names.join('\r\n');
}

// Merges source into target: arrays are appended to, objects merged member by
// member, and anything else in target is overwritten.
function get__extend(target, source) {
  if (Object.prototype.toString.call(target) == '[object Array]') {
    for (var n = 0; n < source.length; n++) target.push(source[n]);
    return target;
  }
  for (var k in source) {
    var t = typeof target[k];
    if (t == 'string' || t == 'boolean' || t == 'undefined') {
      target[k] = source[k];
    } else if (t == 'object') {
      target[k] = get__extend(target[k], source[k]);
    }
  }
  return target;
}

// True when text is exactly one JSON value with optional white space around it.
// Tokens are matched one after another from the start, so that nothing outside
// the JSON grammar (names, calls, operators, comments) is ever evaluated.
function get__isJsonText(text) {
  var token = /[ \t\n\r]*(?:("(?:[^"\\\x00-\x1f]|\\["\\\/bfnrt]|\\u[0-9a-fA-F]{4})*")|(-?(?:0|[1-9][0-9]*)(?:\.[0-9]+)?(?:[eE][+\-]?[0-9]+)?)|(true|false|null)|([\[\]{}:,])|([^ \t\n\r]))/g;
  // What may come next: 0 a value, 1 a value or ']', 2 a key or '}', 3 a key,
  // 4 ':', 5 ',' or the closing bracket, 6 nothing more.
  var expect = 0, open = [], pos = 0, m, c;
  for (;;) {
    token.lastIndex = pos;
    m = token.exec(text);
    if (!m) break;
    if (m.index != pos || m[5]) return false;
    pos = token.lastIndex;
    if (m[2] && !get__exponentFits(m[2])) return false;
    if (m[1] && (expect == 2 || expect == 3)) {
      expect = 4;
    } else if ((m[1] || m[2] || m[3]) && expect <= 1) {
      expect = open.length ? 5 : 6;
    } else if (m[4]) {
      c = m[4];
      if ((c == '[' || c == '{') && expect <= 1) {
        open.push(c);
        expect = c == '[' ? 1 : 2;
      } else if (c == ':' && expect == 4) {
        expect = 0;
      } else if (c == ',' && expect == 5) {
        expect = open[open.length - 1] == '[' ? 0 : 3;
      } else if ((c == ']' && (expect == 1 || expect == 5) && open[open.length - 1] == '[') ||
                 (c == '}' && (expect == 2 || expect == 5) && open[open.length - 1] == '{')) {
        open.pop();
        expect = open.length ? 5 : 6;
      } else {
        return false;
      }
    } else {
      return false;
    }
  }
  return expect == 6 && pos <= text.length;
}

// At most nine exponent digits after the leading zeros: the engine's number
// reader spins forever on some longer exponents, and no double needs one.
function get__exponentFits(number) {
  var e = /[eE][+\-]?0*([0-9]*)$/.exec(number);
  return !e || e[1].length <= 9;
}

function get__notJson() {
  throw new SyntaxError('JSON.parse');
}

// Turns JSON text into a value, evaluating it once; anything that is not JSON
// is refused with a SyntaxError before it can run.
function get__parseText(text) {
  text = String(text);
  if (!get__isJsonText(text)) get__notJson();
  return eval('(' + text + ')');
}

// The text being loaded, handed over as a value rather than as code.
var str_text = null;

function get__keepText(text) {
  str_text = text;
}

if (typeof JSON !== 'object' || JSON === null) {
  JSON = {};
}

(function () {
  // Characters written as escapes inside strings; everything else, Chinese
  // included, is written as it is.
  var escapable = /[\\\"\x00-\x1f\x7f-\x9f\u00ad\u0600-\u0604\u070f\u17b4\u17b5\u200c-\u200f\u2028-\u202f\u2060-\u206f\ufeff\ufff0-\uffff]/g;
  var shortForms = {'\b': '\\b', '\t': '\\t', '\n': '\\n', '\f': '\\f', '\r': '\\r', '"': '\\"', '\\': '\\\\'};
  var gap, indent, replacer, propertyList;

  function hex4(c) {
    var h = c.charCodeAt(0).toString(16);
    while (h.length < 4) h = '0' + h;
    return h;
  }

  function quote(s) {
    return '"' + s.replace(escapable, function (c) {
      var shortForm = Object.prototype.hasOwnProperty.call(shortForms, c) ? shortForms[c] : null;
      return typeof shortForm === 'string' ? shortForm : '\\u' + hex4(c);
    }) + '"';
  }

  function str(key, holder) {
    var value = holder[key], mind = gap, partial = [], i, k, v, length;
    if (value && typeof value === 'object' && typeof value.toJSON === 'function') value = value.toJSON(key);
    if (typeof replacer === 'function') value = replacer.call(holder, key, value);
    switch (typeof value) {
      case 'string':
        return quote(value);
      case 'number':
        return isFinite(value) ? String(value) : 'null';
      case 'boolean':
        return String(value);
      case 'object':
        if (!value) return 'null';
        gap += indent;
        if (Object.prototype.toString.call(value) === '[object Array]') {
          length = value.length;
          for (i = 0; i < length; i += 1) {
            v = str(i, value);
            partial[i] = v === undefined ? 'null' : v;
          }
          v = partial.length === 0 ? '[]'
              : gap ? '[\n' + gap + partial.join(',\n' + gap) + '\n' + mind + ']'
              : '[' + partial.join(',') + ']';
          gap = mind;
          return v;
        }
        if (propertyList) {
          for (i = 0; i < propertyList.length; i += 1) {
            k = propertyList[i];
            v = str(k, value);
            if (v !== undefined) partial.push(quote(k) + (gap ? ': ' : ':') + v);
          }
        } else {
          for (k in value) {
            if (Object.prototype.hasOwnProperty.call(value, k)) {
              v = str(k, value);
              if (v !== undefined) partial.push(quote(k) + (gap ? ': ' : ':') + v);
            }
          }
        }
        v = partial.length === 0 ? '{}'
            : gap ? '{\n' + gap + partial.join(',\n' + gap) + '\n' + mind + '}'
            : '{' + partial.join(',') + '}';
        gap = mind;
        return v;
    }
    return undefined;
  }

  if (typeof JSON.stringify !== 'function') {
    JSON.stringify = function (value, replacerArg, space) {
      var i, item, tag, seen = {}, count;
      gap = '';
      indent = '';
      replacer = typeof replacerArg === 'function' ? replacerArg : undefined;
      propertyList = undefined;
      // A replacer array names the members to write: strings and numbers
      // (also as objects), each once, in the array's order.
      if (Object.prototype.toString.call(replacerArg) === '[object Array]') {
        propertyList = [];
        for (i = 0; i < replacerArg.length; i += 1) {
          item = replacerArg[i];
          tag = Object.prototype.toString.call(item);
          if (tag !== '[object String]' && tag !== '[object Number]') continue;
          item = String(item);
          if (!Object.prototype.hasOwnProperty.call(seen, item)) {
            seen[item] = true;
            propertyList.push(item);
          }
        }
      }
      tag = Object.prototype.toString.call(space);
      if (tag === '[object Number]') {
        count = Math.min(10, Math.floor(Math.abs(Number(space))) * (Number(space) < 0 ? -1 : 1));
        for (i = 0; i < count; i += 1) indent += ' ';
      } else if (tag === '[object String]') {
        indent = String(space).substr(0, 10);
      }
      return str('', {'': value});
    };
  }

  if (typeof JSON.parse !== 'function') {
    JSON.parse = function (text, reviver) {
      var j = get__parseText(text);
      function walk(holder, key) {
        var k, v, value = holder[key];
        if (value && typeof value === 'object') {
          for (k in value) {
            if (Object.prototype.hasOwnProperty.call(value, k)) {
              v = walk(value, k);
              if (v !== undefined) value[k] = v; else delete value[k];
            }
          }
        }
        return reviver.call(holder, key, value);
      }
      return typeof reviver === 'function' ? walk({'': j}, '') : j;
    };
  }
})();

if (typeof Date.prototype.toJSON !== 'function') {
  Date.prototype.toJSON = function () {
    function two(n) { return n < 10 ? '0' + n : String(n); }
    return isFinite(this.valueOf())
        ? this.getUTCFullYear() + '-' + two(this.getUTCMonth() + 1) + '-' + two(this.getUTCDate()) + 'T' +
          two(this.getUTCHours()) + ':' + two(this.getUTCMinutes()) + ':' + two(this.getUTCSeconds()) + 'Z'
        : null;
  };
  String.prototype.toJSON = Number.prototype.toJSON = Boolean.prototype.toJSON = function () {
    return this.valueOf();
  };
}

if (typeof Object.prototype.toJSONString !== 'function') {
  Object.prototype.toJSONString = function (filter) { return JSON.stringify(this, filter); };
  Object.prototype.parseJSON = function (filter) { return JSON.parse(this, filter); };
}
