// JsonDocument: one JSON value that callers parse from text, read and edit
// by JavaScript-style paths, and write back out as compact JSON.
//
// Paths are written the way a script would reference a member: 'remain',
// 'a.b', 'list[0].url', "['a b']", or '[2]' on an array document. A path may
// start with the document's variable name "da" (see ResolvePath); the empty
// path is the whole document. Array indexes count from 0.
//
// Texts are GBK at this interface and UTF-8 inside the tree. Input is only
// ever parsed as JSON, never run as code.
//
// Failures are results: false, the empty text, 0 or an empty list. Copying a
// document gives a second handle on the same value (both see each other's
// edits) until one of them calls Parse or Initialize, which start afresh;
// such copies belong to one thread, like the document itself.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "http/encoding.h"

namespace qc {

// What Parse reports about a text it could not read.
struct ScriptError {
  int number = 0;  // 0 when the text was read; else the parser's error id
  Text source;
  Text description;
  Text helpFile;
  int helpContext = 0;
  Text text;  // the input line the error is on
  int line = 0;    // 1-based; 0 when there was no error
  int column = 0;  // 1-based, in characters
};

// Type codes of GetType. There is no code 3.
inline constexpr int kJsonTypeInvalid = -1;  // the path cannot be read
inline constexpr int kJsonTypeNull = 0;      // missing or null
inline constexpr int kJsonTypeBoolean = 1;
inline constexpr int kJsonTypeNumber = 2;
inline constexpr int kJsonTypeObject = 4;
inline constexpr int kJsonTypeArray = 5;
inline constexpr int kJsonTypeString = 6;

class JsonDocument {
 public:
  // The document holds an empty object.
  JsonDocument();
  ~JsonDocument();
  JsonDocument(const JsonDocument&);
  JsonDocument& operator=(const JsonDocument&);
  JsonDocument(JsonDocument&&) noexcept;
  JsonDocument& operator=(JsonDocument&&) noexcept;

  // Starts afresh with an empty object (copies made before keep the old value).
  void Initialize();

  // Reads `text` as JSON. True when it holds a value other than null. On a
  // syntax error, or nesting deeper than 512 levels, the value becomes null;
  // an empty or blank text leaves no value at all (ToText gives ""). `direct`
  // is accepted for callers' sake: both forms read the text as JSON.
  bool Parse(const Text& text, bool direct = false, ScriptError* error = nullptr);
  // Replaces the value by an empty object.
  bool Clear();
  // The whole value as compact JSON; 'null' after a failed Parse.
  Text ToText() const;

  // Stores `value` at `path`. A plain text is stored as a string. With
  // `isJson`, a JSON object given for an existing object member is merged
  // into it (members of the same name: strings, booleans and missing ones
  // replaced, objects and arrays merged, a number member fails the whole
  // merge); otherwise the parsed value replaces the member. A missing last
  // member is created; a missing member on the way fails.
  bool SetValue(const Text& path = {}, const Text& value = {}, bool isJson = false);
  // Stores the JSON text `code` at `path` (no merge). An empty code removes
  // the member and gives false.
  bool SetCode(const Text& path = {}, const Text& code = {});

  // Rewrites `path` to start with "da" unless it already does and names a
  // member that exists ('remain' -> 'da.remain', '[0]' -> 'da[0]', '' ->
  // 'da'). True when the member then exists and is not null.
  bool ResolvePath(Text& path) const;
  bool Exists(const Text& path = {}) const;
  // One of the kJsonType codes.
  int GetType(const Text& path = {}) const;
  // A string as itself, a number as its shortest decimal text ('3000',
  // '1.5'), a boolean as 'true'/'false', an array as its elements' texts
  // joined by commas, an object as "[object Object]", missing or null as
  // empty. With `asJson`, the member as compact JSON.
  Text GetText(const Text& path = {}, bool asJson = false) const;
  // Names of an object's members in order; the result is their number.
  int GetMemberNames(std::vector<Text>& names, const Text& path = {}) const;
  // Length of an array, 0 for anything else.
  int GetCount(const Text& path = {}) const;
  // An independent document holding a copy of the member.
  JsonDocument GetSubDocument(const Text& path = {}) const;

  // Appends `value` to the array at `path` (at the front with `atFront`),
  // turning a member that is not an array into an empty array first.
  bool AddElement(const Text& value = {}, const Text& path = {}, bool isJson = false, bool atFront = false);
  JsonDocument GetElementDocument(int index = 0, const Text& path = {}) const;
  // With `asJson` the element as JSON; otherwise a string element's text,
  // and the empty text for any other element.
  Text GetElementText(int index = 0, const Text& path = {}, bool asJson = false) const;
  // Stores `value` as element `index` of the array (or member "index" of
  // the object) at `path`; an index past the end pads with nulls.
  bool SetElement(int index = 0, const Text& path = {}, const Text& value = {}, bool isJson = false);
  // Removes element `index`; true when there was one.
  bool RemoveElement(int index = 0, const Text& path = {});
  // Deletes the member at `path` (an array element becomes null). True when
  // its parent exists; false for the whole document.
  bool Remove(const Text& path = {});

  bool SetNumber(const Text& path = {}, double number = 0);
  // A number as itself, a numeric string as its value, true as 1; else 0.
  double GetNumber(const Text& path = {}) const;
  // The member as compact JSON; empty when it is missing.
  Text GetJson(const Text& path = {}) const;

  // The strings, numbers and booleans among the member's members, in order
  // (descending into objects and arrays with `recursive`); the result is
  // their number.
  int GetNodeValues(std::vector<Text>& values, const Text& path = {}, bool recursive = false) const;

  // "da": the name a path may start with to address the document itself.
  const Text& variableName() const { return variableName_; }

 private:
  struct State;
  Text variableName_;
  std::shared_ptr<State> state_;
};

}  // namespace qc
