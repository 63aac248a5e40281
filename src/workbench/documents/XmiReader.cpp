// Reading XMI files into the workbench model.
//
// The reader works in steps, so that the order of elements in a file never
// matters:
//  1. the bytes become UTF-8 text (windows-1252 and ISO-8859-1 are
//     converted) and pugixml parses it;
//  2. every element with an xmi:id is indexed;
//  3. the package tree is walked: packages, classes, attributes, operations
//     and parameters are added to the model as they come, and every
//     reference (types, generalizations, realizations) is noted;
//  4. the noted references are resolved through the index, then stereotype
//     applications and the tools' own extensions are applied, and classes
//     without a language get the default one.
//
// Elements and attributes of the XMI and UML vocabularies are recognised by
// namespace URI and local name, never by the prefix a file happens to use:
// "xmi:type" is any attribute named "type" whose prefix is bound to an XMI
// namespace, and its value "uml:Class" any "Class" whose prefix is bound to
// a UML namespace. Child elements that UML serializes without a namespace
// (packagedElement, ownedOperation, ...) are matched by local name.
#include "workbench/documents/XmiReader.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <unordered_map>
#include <type_traits>
#include <unordered_set>
#include <utility>

#include "support/Error.h"
#include "workbench/text/Json.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace {

constexpr size_t npos = std::string_view::npos;

/// How deep packages and classes may nest. A JSON model document nests two
/// levels per package and limits itself to json::kMaxDepth (200), so that a
/// converted file can always be read back.
constexpr int kMaxNesting = 90;

/// The id Umbrello gives its Logical View.
constexpr std::string_view kUmbrelloLogicalView = "Logical_View";
/// The stereotype every UML interface gets.
constexpr const char* kInterfaceStereotype = "Interface";
/// The stereotype of an enumeration, which the model keeps as a class with
/// its literals.
constexpr const char* kEnumerationStereotype = "enumeration";
/// Tool properties for what UML says and the model has no place for
/// (a parameter's direction).
constexpr const char* kUmlTool = "UML";
/// Tool properties for Enterprise Architect's and Visual Paradigm's tags
/// that do not name a tool themselves.
constexpr const char* kEaTool = "EA";
constexpr const char* kVpTool = "VP";
/// The tool of a stereotype application whose profile has no name.
constexpr const char* kProfileTool = "Profile";
/// The languages the generators know; a stereotype of one of these names
/// sets a class's language instead of its stereotype.
constexpr std::string_view kLanguageStereotypes[] = {"COM", "Java", "InlineEJB"};

// ---------------------------------------------------------------------------
// Bytes to UTF-8 text, and positions in it.

/// Line and column (1-based, columns in characters) of byte offsets in a text.
class TextPositions {
 public:
  explicit TextPositions(std::string_view text) : text_(text) {
    lineStarts_.push_back(0);
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) {
        lineStarts_.push_back(i + 1);
      }
    }
  }

  std::pair<int, int> At(size_t offset) const {
    offset = std::min(offset, text_.size());
    auto line = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset);
    --line;
    int column = 1;
    for (size_t i = *line; i < offset; ++i) {
      if ((static_cast<unsigned char>(text_[i]) & 0xC0) != 0x80) ++column;
    }
    return {static_cast<int>(line - lineStarts_.begin()) + 1, column};
  }

 private:
  std::string_view text_;
  std::vector<size_t> lineStarts_;
};

/// Unicode for the bytes 0x80 to 0x9F in windows-1252; the five bytes it
/// leaves undefined keep their ISO-8859-1 meaning.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

/// The encoding named by the XML declaration at the start of `text`, lower
/// case; empty when there is no declaration or it names none.
std::string DeclaredEncoding(std::string_view text) {
  if (text.substr(0, 5) != "<?xml") return {};
  const std::string_view declaration = text.substr(0, text.find("?>"));
  size_t at = declaration.find("encoding");
  if (at == npos) return {};
  at += 8;
  const auto skipBlanks = [&] {
    while (at < declaration.size() && (declaration[at] == ' ' || declaration[at] == '\t' || declaration[at] == '\r' ||
                                       declaration[at] == '\n')) {
      ++at;
    }
  };
  skipBlanks();
  if (at >= declaration.size() || declaration[at] != '=') return {};
  ++at;
  skipBlanks();
  if (at >= declaration.size() || (declaration[at] != '"' && declaration[at] != '\'')) return {};
  const char quote = declaration[at++];
  const size_t end = declaration.find(quote, at);
  if (end == npos) return {};
  return Lower(declaration.substr(at, end - at));
}

/// The file's text as UTF-8, without a byte-order mark.
std::string ToUtf8(std::string_view bytes, const std::string& file) {
  bool bom = false;
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    bytes.remove_prefix(3);
    bom = true;
  } else if (bytes.size() >= 2 && (bytes.substr(0, 2) == "\xFE\xFF" || bytes.substr(0, 2) == "\xFF\xFE" ||
                                   bytes[0] == '\0' || bytes[1] == '\0')) {
    throw DocumentError(file, 0, 0, Text(WB_FILE_WIDE_ENCODING));
  }
  const std::string encoding = bom ? std::string() : DeclaredEncoding(bytes);
  if (encoding.empty() || encoding == "utf-8" || encoding == "utf8") {
    const size_t bad = json::FirstInvalidUtf8(bytes);
    if (bad != npos) {
      const auto [line, column] = TextPositions(bytes).At(bad);
      throw DocumentError(file, line, column, Text(WB_XMI_BAD_UTF8));
    }
    return std::string(bytes);
  }
  bool cp1252 = false;
  if (encoding == "windows-1252" || encoding == "cp1252" || encoding == "x-cp1252" || encoding == "us-ascii" ||
      encoding == "ascii") {
    cp1252 = true;  // what tools that write "us-ascii" mostly mean
  } else if (encoding != "iso-8859-1" && encoding != "iso8859-1" && encoding != "iso_8859-1" &&
             encoding != "latin1" && encoding != "latin-1" && encoding != "l1") {
    throw DocumentError(file, 1, 1, Text(WB_XMI_ENCODING, {encoding}));
  }
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      json::AppendUtf8(out, cp1252 && c < 0xA0 ? kCp1252High[c - 0x80] : c);
    }
  }
  return out;
}

/// The offset of the first character reference to NUL ("&#0;", "&#x00;")
/// in `text`, or npos. XML has no such character, and the parser would end a
/// name or value at it without a word.
size_t FirstNulReference(std::string_view text) {
  for (size_t at = text.find("&#"); at != npos; at = text.find("&#", at + 2)) {
    size_t digits = at + 2;
    if (digits < text.size() && (text[digits] == 'x' || text[digits] == 'X')) ++digits;
    size_t end = digits;
    while (end < text.size() && text[end] == '0') ++end;
    if (end > digits && end < text.size() && text[end] == ';') return at;
  }
  return npos;
}

// ---------------------------------------------------------------------------
// Names and namespaces.

/// What a namespace URI stands for.
enum class Ns { kNone, kXmi, kXmi1, kUml, kOther };

std::pair<std::string_view, std::string_view> SplitName(std::string_view qualified) {
  const size_t colon = qualified.find(':');
  if (colon == npos) return {{}, qualified};
  return {qualified.substr(0, colon), qualified.substr(colon + 1)};
}

std::string_view LocalName(pugi::xml_node node) { return SplitName(node.name()).second; }

std::vector<std::string_view> SplitPath(std::string_view path) {
  std::vector<std::string_view> segments;
  size_t at = 0;
  while (at <= path.size()) {
    size_t end = path.find('/', at);
    if (end == npos) end = path.size();
    if (end > at) segments.push_back(path.substr(at, end - at));
    at = end + 1;
  }
  return segments;
}

/// Classifies a namespace URI: XMI 2.x (any version), the UML 2 metamodel of
/// Eclipse UML2 (www.eclipse.org, path uml2/VERSION/UML) or the OMG
/// (www.omg.org or schema.omg.org, a path ending in XMI/VERSION or
/// UML/VERSION), XMI 1.x's UML, or anything else (profiles, other
/// vocabularies).
Ns Classify(std::string_view uri) {
  if (uri.empty()) return Ns::kNone;
  if (uri.substr(0, 11) == "org.omg.xmi" || uri.substr(0, 11) == "org.omg/UML") return Ns::kXmi1;
  for (const std::string_view scheme : {"http://", "https://"}) {
    if (uri.substr(0, scheme.size()) == scheme) uri.remove_prefix(scheme.size());
  }
  const size_t slash = uri.find('/');
  const std::string host = Lower(uri.substr(0, slash));
  std::vector<std::string_view> path = SplitPath(slash == npos ? std::string_view() : uri.substr(slash));
  if (host == "www.omg.org" || host == "schema.omg.org" || host == "omg.org") {
    // "XMI" or "UML", and the version, at the start of the path or after
    // one leading segment.
    for (size_t at = 0; at < 2 && at < path.size(); ++at) {
      if (path.size() - at > 2) continue;
      if (path[at] == "XMI") return Ns::kXmi;
      if (path[at] == "UML") return Ns::kUml;
    }
  }
  if ((host == "www.eclipse.org" || host == "eclipse.org") && path.size() == 3 && path[0] == "uml2" &&
      path[2] == "UML") {
    return Ns::kUml;
  }
  return Ns::kOther;
}

std::vector<std::string_view> SplitBlanks(std::string_view text) {
  std::vector<std::string_view> words;
  size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\r' || text[at] == '\n')) ++at;
    size_t end = at;
    while (end < text.size() && text[end] != ' ' && text[end] != '\t' && text[end] != '\r' && text[end] != '\n') ++end;
    if (end > at) words.push_back(text.substr(at, end - at));
    at = end;
  }
  return words;
}

/// The first child element of `node` with that local name.
pugi::xml_node Child(pugi::xml_node node, std::string_view local) {
  for (pugi::xml_node child : node.children()) {
    if (child.type() == pugi::node_element && LocalName(child) == local) return child;
  }
  return {};
}

/// Calls `visit` for `root` and every element below it, in document order,
/// without recursion (a file may nest as deep as it likes). When `visit`
/// returns false, the elements below that one are left out.
template <class F>
void ForEachElement(pugi::xml_node root, F&& visit) {
  pugi::xml_node node = root;
  while (node) {
    bool descend = true;
    if (node.type() == pugi::node_element) {
      if constexpr (std::is_same_v<decltype(visit(node)), bool>) {
        descend = visit(node);
      } else {
        visit(node);
      }
    }
    if (descend && node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node != root && !node.next_sibling()) node = node.parent();
    if (node == root) break;
    node = node.next_sibling();
  }
}

bool IsClassType(std::string_view type) {
  return type == "Class" || type == "Interface" || type == "AssociationClass";
}

/// Calls Stereotype()/SetStereotype() of a class or an operation alike.
template <class T>
concept Stereotyped = requires(T& t) {
  t.Stereotype();
  t.SetStereotype(std::string());
};

// ---------------------------------------------------------------------------
// The loader.

class XmiLoader {
 public:
  XmiLoader(std::string file, const XmiOptions& options) : file_(std::move(file)), options_(options) {}

  XmiResult Load(std::string_view bytes) {
    text_ = ToUtf8(bytes, file_);
    positions_ = std::make_unique<TextPositions>(text_);
    Parse();
    root_ = doc_.document_element();
    ScanNamespaces();
    IndexIds();
    const std::vector<pugi::xml_node> packages = ModelRoots();

    const std::string rootName = packages.front().attribute("name").value();
    std::string modelName = rootName;
    // Umbrello's Logical View lies in the model that names the file's model.
    if (packages.front().parent() != root_ && UmlType(packages.front().parent()) == "Model") {
      modelName = packages.front().parent().attribute("name").value();
    }
    if (modelName.empty()) modelName = std::filesystem::path(file_).stem().string();
    if (modelName.empty()) modelName = kDefaultRootName;
    model_ = At(packages.front(), [&] {
      return std::make_unique<Model>(modelName, rootName.empty() ? std::string(kDefaultRootName) : rootName);
    });
    Note(packages.front(), model_->Root());
    ReadPackageContents(packages.front(), model_->Root(), 1);
    for (size_t i = 1; i < packages.size(); ++i) ReadPackage(packages[i], model_->Root(), 1);

    ResolveTypes();
    ResolveRelations();
    ApplyStereotypeApplications();
    ApplyExtensions();
    // A tool that states the language once for the file gives it to every
    // class that names none; --language covers what is left.
    const std::string fileLanguage = UmbrelloLanguage();
    for (Class* c : classes_) {
      if (c->Language().empty() && !fileLanguage.empty()) c->SetLanguage(fileLanguage);
      if (c->Language().empty() && !options_.language.empty()) c->SetLanguage(options_.language);
    }
    SpellTypes();
    std::stable_sort(warnings_.begin(), warnings_.end(), [](const LoadWarning& a, const LoadWarning& b) {
      return std::pair(a.line, a.column) < std::pair(b.line, b.column);
    });
    return {std::move(model_), std::move(warnings_)};
  }

 private:
  /// Where a language of a class came from; a higher rank wins.
  enum Rank { kRankNone = 0, kRankCode = 1, kRankStereotype = 2, kRankProperty = 3 };

  enum class Link { kGeneralization, kInterfaceRealization, kRealization };

  /// A generalization or realization, resolved once every class is read.
  struct PendingRelation {
    Class* client;  // nullptr for a standalone realization
    pugi::xml_node node;
    Link link;
  };

  /// An element whose type is resolved once every element is read.
  struct PendingType {
    pugi::xml_node node;
    Attribute* attribute = nullptr;
    Parameter* parameter = nullptr;
    Operation* returnOf = nullptr;
    /// Whether the type is one of UML's primitive types (or a tool's built-in one).
    bool primitive = false;
  };

  /// A resolved type: its name, and whether it is a primitive type.
  struct TypeName {
    std::string name;
    bool primitive = false;
  };

  /// One end of a relation as the file names it.
  struct Reference {
    std::string id;
    bool external = false;  // an href into another file
  };

  // -- Positions, errors and warnings

  std::pair<int, int> Where(pugi::xml_node node) const {
    ptrdiff_t offset = node.offset_debug();
    if (offset < 0) return {0, 0};
    // An element's offset is that of its name; report the '<' before it.
    if (offset > 0 && node.type() == pugi::node_element && text_[static_cast<size_t>(offset) - 1] == '<') --offset;
    return positions_->At(static_cast<size_t>(offset));
  }

  [[noreturn]] void Fail(pugi::xml_node node, const std::string& message) const {
    const auto [line, column] = Where(node);
    throw DocumentError(file_, line, column, message);
  }

  void Warn(pugi::xml_node node, std::string message) {
    const auto [line, column] = Where(node);
    warnings_.push_back({file_, line, column, std::move(message)});
  }

  /// Runs `build`, turning a refusal of the model into an error at `node`.
  template <class F>
  auto At(pugi::xml_node node, F&& build) -> decltype(build()) {
    try {
      return build();
    } catch (const ZtError& e) {
      Fail(node, e.Description());
    }
  }

  void Parse() {
    if (const size_t nul = FirstNulReference(text_); nul != npos) {
      const auto [line, column] = positions_->At(nul);
      throw DocumentError(file_, line, column, Text(WB_XMI_NUL));
    }
    const pugi::xml_parse_result result =
        doc_.load_buffer(text_.data(), text_.size(), pugi::parse_default, pugi::encoding_utf8);
    if (result) return;
    int16_t what = WB_XMI_XML_OTHER;
    switch (result.status) {
      case pugi::status_unrecognized_tag: what = WB_XMI_XML_TAG; break;
      case pugi::status_bad_pi: what = WB_XMI_XML_PI; break;
      case pugi::status_bad_comment: what = WB_XMI_XML_COMMENT; break;
      case pugi::status_bad_cdata: what = WB_XMI_XML_CDATA; break;
      case pugi::status_bad_doctype: what = WB_XMI_XML_DOCTYPE; break;
      case pugi::status_bad_pcdata: what = WB_XMI_XML_TEXT; break;
      case pugi::status_bad_start_element: what = WB_XMI_XML_START_TAG; break;
      case pugi::status_bad_attribute: what = WB_XMI_XML_ATTRIBUTE; break;
      case pugi::status_bad_end_element: what = WB_XMI_XML_END_TAG; break;
      case pugi::status_end_element_mismatch: what = WB_XMI_XML_MISMATCH; break;
      case pugi::status_no_document_element: what = WB_XMI_XML_NO_ROOT; break;
      default: break;
    }
    const auto [line, column] = positions_->At(result.offset < 0 ? 0 : static_cast<size_t>(result.offset));
    throw DocumentError(file_, line, column, Text(WB_XMI_MALFORMED, {Text(what, {result.description()})}));
  }

  // -- Namespaces and the id index

  /// Notes the root's namespace declarations, and whether any other element
  /// declares one (then every lookup walks up the tree).
  void ScanNamespaces() {
    for (pugi::xml_attribute a : root_.attributes()) {
      const std::string_view name = a.name();
      if (name == "xmlns") rootKinds_.emplace_back(std::string(), Classify(a.value()));
      if (name.substr(0, 6) == "xmlns:") rootKinds_.emplace_back(std::string(name.substr(6)), Classify(a.value()));
    }
    ForEachElement(root_, [&](pugi::xml_node node) {
      if (node == root_ || scoped_) return;
      for (pugi::xml_attribute a : node.attributes()) {
        if (std::string_view(a.name()).substr(0, 5) == "xmlns") scoped_ = true;
      }
    });
  }

  /// The namespace URI bound to `prefix` at `node` (empty when unbound).
  std::string_view NamespaceUri(pugi::xml_node node, std::string_view prefix) const {
    const std::string attribute = prefix.empty() ? std::string("xmlns") : "xmlns:" + std::string(prefix);
    for (pugi::xml_node n = scoped_ ? node : root_; n; n = n.parent()) {
      if (pugi::xml_attribute a = n.attribute(attribute.c_str())) return a.value();
    }
    return {};
  }

  Ns Kind(pugi::xml_node node, std::string_view prefix) const {
    Ns kind = Ns::kNone;
    if (scoped_) {
      kind = Classify(NamespaceUri(node, prefix));
    } else {
      for (const auto& [p, k] : rootKinds_) {
        if (p == prefix) kind = k;
      }
    }
    // Some tools forget to declare the xmi prefix.
    if (kind == Ns::kNone && prefix == "xmi") kind = Ns::kXmi;
    return kind;
  }

  /// The value of the XMI attribute `local` (xmi:id, xmi:type, ...); empty when none.
  std::string_view XmiAttribute(pugi::xml_node node, std::string_view local) const {
    for (pugi::xml_attribute a : node.attributes()) {
      const auto [prefix, name] = SplitName(a.name());
      if (name == local && !prefix.empty() && Kind(node, prefix) == Ns::kXmi) return a.value();
    }
    return {};
  }

  bool IsXmiElement(pugi::xml_node node, std::string_view local) const {
    const auto [prefix, name] = SplitName(node.name());
    return name == local && Kind(node, prefix) == Ns::kXmi;
  }

  /// The UML metaclass of an element: its xmi:type ("uml:Class" → "Class"),
  /// or its own name when that is in a UML namespace (<uml:Model>); empty
  /// for anything else.
  std::string_view UmlType(pugi::xml_node node) const {
    const std::string_view type = XmiAttribute(node, "type");
    if (!type.empty()) {
      const auto [prefix, local] = SplitName(type);
      return prefix.empty() || Kind(node, prefix) == Ns::kUml ? local : std::string_view();
    }
    const auto [prefix, local] = SplitName(node.name());
    return !prefix.empty() && Kind(node, prefix) == Ns::kUml ? local : std::string_view();
  }

  /// Indexes the ids of the model first, then those inside the tools'
  /// extensions (Enterprise Architect's primitive types live there). Only
  /// the model's own ids must be unique: the tools repeat theirs freely.
  void IndexIds() {
    std::vector<pugi::xml_node> extensions;
    ForEachElement(root_, [&](pugi::xml_node node) {
      if (IsXmiElement(node, "Extension")) {
        extensions.push_back(node);
        return false;
      }
      const std::string_view id = XmiAttribute(node, "id");
      if (!id.empty() && !byId_.emplace(id, node).second) Warn(node, Text(WB_XMI_WARN_DUPLICATE_ID, {std::string(id)}));
      return true;
    });
    for (pugi::xml_node extension : extensions) {
      ForEachElement(extension, [&](pugi::xml_node node) {
        const std::string_view id = XmiAttribute(node, "id");
        if (!id.empty()) byId_.emplace(id, node);
      });
    }
  }

  /// The name of the element with that id; empty when there is none.
  std::string NameById(std::string_view id) const {
    const auto found = byId_.find(id);
    return found == byId_.end() ? std::string() : found->second.attribute("name").value();
  }

  /// The model element read from the element with that id, or nullptr.
  Element* ModelElement(std::string_view id) const {
    const auto found = elements_.find(id);
    return found == elements_.end() ? nullptr : found->second;
  }

  /// Records that `node` became `element`, and the tool extensions it carries.
  void Note(pugi::xml_node node, Element& element) {
    const std::string_view id = XmiAttribute(node, "id");
    if (!id.empty()) elements_.emplace(id, &element);
    for (pugi::xml_node child : node.children()) {
      if (child.type() == pugi::node_element && IsXmiElement(child, "Extension")) {
        extensions_.emplace_back(child, &element);
      }
    }
  }

  // -- The root

  /// The root package's element first, then any further top-level ones.
  std::vector<pugi::xml_node> ModelRoots() const {
    const auto [prefix, local] = SplitName(root_.name());
    const Ns kind = Kind(root_, prefix);
    const pugi::xml_attribute version1 = root_.attribute("xmi.version");
    if (local == "XMI" && (kind != Ns::kXmi || version1)) {
      const std::string what = version1 ? std::string("xmi.version=\"") + version1.value() + "\""
                                        : "<" + std::string(root_.name()) + ">";
      Fail(root_, Text(WB_XMI_VERSION_1, {what}));
    }
    if (kind == Ns::kXmi1) Fail(root_, Text(WB_XMI_VERSION_1, {std::string(NamespaceUri(root_, prefix))}));
    if (local == "XMI" && kind == Ns::kXmi) {
      const std::string_view version = XmiAttribute(root_, "version");
      if (version.substr(0, 2) == "1.") {
        Fail(root_, Text(WB_XMI_VERSION_1, {"xmi:version=\"" + std::string(version) + "\""}));
      }
      std::vector<pugi::xml_node> packages;
      for (pugi::xml_node child : root_.children()) {
        if (child.type() != pugi::node_element) continue;
        const std::string_view type = UmlType(child);
        if (type == "Model" || type == "Package") packages.push_back(child);
      }
      if (packages.empty()) Fail(root_, Text(WB_XMI_NO_MODEL));
      if (const pugi::xml_node logical = UmbrelloLogicalView(packages.front())) return {logical};
      return packages;
    }
    if (kind == Ns::kUml && (local == "Model" || local == "Package")) return {root_};
    Fail(root_, Text(WB_XMI_UNKNOWN_ROOT, {root_.name(), std::string(NamespaceUri(root_, prefix))}));
  }

  /// Whether the file is Umbrello's: its documentation names the exporter,
  /// or it carries Umbrello's extension.
  bool IsUmbrello() const {
    for (pugi::xml_node child : root_.children()) {
      if (IsXmiElement(child, "Documentation") && Lower(child.attribute("exporter").value()).find("umbrello") != npos) {
        return true;
      }
      if (IsXmiElement(child, "Extension") && std::string_view(child.attribute("extender").value()) == "umbrello") {
        return true;
      }
    }
    return false;
  }

  /// Umbrello keeps the model in fixed top-level views inside its model;
  /// the classes are in the "Logical View", which is the model's root
  /// package (in no Java package or test folder). Its other views hold no
  /// classes. Null for a file of another tool.
  pugi::xml_node UmbrelloLogicalView(pugi::xml_node model) const {
    if (!IsUmbrello()) return {};
    for (pugi::xml_node child : model.children()) {
      if (child.type() == pugi::node_element && UmlType(child) == "Model" &&
          XmiAttribute(child, "id") == kUmbrelloLogicalView) {
        return child;
      }
    }
    return {};
  }

  /// The language Umbrello's code generator is set to for the file
  /// (<codegenerator language="Java"/>); empty when it states none.
  std::string UmbrelloLanguage() const {
    if (LocalName(root_) != "XMI" || !IsUmbrello()) return {};
    for (pugi::xml_node extension : root_.children()) {
      if (!IsXmiElement(extension, "Extension") ||
          std::string_view(extension.attribute("extender").value()) != "umbrello") {
        continue;
      }
      const pugi::xml_node generator = Child(Child(extension, "codegeneration"), "codegenerator");
      if (generator) return generator.attribute("language").value();
    }
    return {};
  }

  // -- Step 3: the package tree

  void CheckNesting(pugi::xml_node node, int depth) const {
    if (depth > kMaxNesting) Fail(node, Text(WB_XMI_TOO_DEEP, {std::to_string(kMaxNesting)}));
  }

  /// Whether `parent` holds a T (package or class) named `name`. Looked up in
  /// the model's index of qualified names: a search through the package for
  /// every element made files with many elements take hours.
  template <class T>
  bool Holds(Package& parent, const std::string& name) const {
    for (Element* e : model_->Find(parent.GetQualifiedName() + "::" + name)) {
      auto* t = dynamic_cast<T*>(e);
      if (t != nullptr && t->ParentCategory() == &parent) return true;
    }
    return false;
  }

  /// `name`, or `name` with the first free suffix "_2", "_3", ... among the
  /// Ts of `parent`. `next` remembers where the search for a name goes on, so
  /// that the k-th element of one name does not try k suffixes again.
  template <class T>
  std::string FreeName(Package& parent, const std::string& name, std::unordered_map<std::string, int>& next) const {
    if (!Holds<T>(parent, name)) return name;
    int& n = next[parent.GetQualifiedName() + "::" + name];
    if (n < 2) n = 2;
    std::string candidate;
    do {
      candidate = name + "_" + std::to_string(n++);
    } while (Holds<T>(parent, candidate));
    return candidate;
  }

  /// Says that the element `node`, named `name` in `parent`, is read as `unique`.
  void WarnDuplicate(pugi::xml_node node, int16_t withId, int16_t withoutId, const Package& parent,
                     const std::string& name, const std::string& unique) {
    const std::string id(XmiAttribute(node, "id"));
    Warn(node, id.empty() ? Text(withoutId, {parent.GetQualifiedName(), name, unique})
                          : Text(withId, {parent.GetQualifiedName(), name, id, unique}));
  }

  void ReadPackageContents(pugi::xml_node node, Package& package, int depth) {
    for (pugi::xml_node child : node.children()) {
      if (child.type() != pugi::node_element) continue;
      const std::string_view local = LocalName(child);
      if (local != "packagedElement" && local != "ownedMember") continue;
      const std::string_view type = UmlType(child);
      if (type == "Package" || type == "Model") {
        ReadPackage(child, package, depth + 1);
      } else if (IsClassType(type) || type == "Enumeration") {
        ReadClass(child, package, depth + 1);
      } else if (type == "Realization" || type == "InterfaceRealization") {
        relations_.push_back({nullptr, child, Link::kRealization});
      }
    }
  }

  void ReadPackage(pugi::xml_node node, Package& parent, int depth) {
    CheckNesting(node, depth);
    const std::string name = node.attribute("name").value();
    if (name.empty()) {
      Warn(node, Text(WB_XMI_WARN_UNNAMED, {Text(WB_WHAT_PACKAGE)}));
      return;
    }
    const std::string unique = FreeName<Package>(parent, name, nextPackageSuffix_);
    if (unique != name) {
      WarnDuplicate(node, WB_XMI_WARN_DUPLICATE_PACKAGE, WB_XMI_WARN_DUPLICATE_PACKAGE_NO_ID, parent, name, unique);
    }
    Package& package = At(node, [&]() -> Package& { return model_->AddPackage(parent, unique); });
    Note(node, package);
    ReadPackageContents(node, package, depth);
  }

  /// Reads the class `node` into `package`; a class inside the class named
  /// `outer` is named "Outer.Inner", as Java names it.
  void ReadClass(pugi::xml_node node, Package& package, int depth, const std::string& outer = {}) {
    CheckNesting(node, depth);
    std::string name = node.attribute("name").value();
    if (name.empty()) {
      Warn(node, Text(WB_XMI_WARN_UNNAMED, {Text(WB_WHAT_CLASS)}));
      return;
    }
    if (!outer.empty()) name = outer + "." + name;
    const std::string unique = FreeName<Class>(package, name, nextClassSuffix_);
    if (unique != name) {
      WarnDuplicate(node, WB_XMI_WARN_DUPLICATE_CLASS, WB_XMI_WARN_DUPLICATE_CLASS_NO_ID, package, name, unique);
    }
    Class& added = At(node, [&]() -> Class& { return model_->AddClass(package, unique); });
    classes_.push_back(&added);
    Note(node, added);
    if (UmlType(node) == "Interface") added.SetStereotype(kInterfaceStereotype);
    const bool enumeration = UmlType(node) == "Enumeration";
    if (enumeration) added.SetStereotype(kEnumerationStereotype);
    if (std::string_view(node.attribute("isAbstract").value()) == "true") added.SetAbstract(true);
    for (pugi::xml_node child : node.children()) {
      if (child.type() != pugi::node_element) continue;
      const std::string_view local = LocalName(child);
      if (local == "ownedAttribute") {
        ReadAttribute(child, added);
      } else if (local == "ownedOperation") {
        ReadOperation(child, added);
      } else if (local == "generalization") {
        relations_.push_back({&added, child, Link::kGeneralization});
      } else if (local == "interfaceRealization") {
        relations_.push_back({&added, child, Link::kInterfaceRealization});
      } else if (local == "ownedLiteral" && enumeration && !std::string_view(child.attribute("name").value()).empty()) {
        added.AddLiteral(child.attribute("name").value());
      } else if ((local == "nestedClassifier" || local == "packagedElement" || local == "ownedMember") &&
                 (IsClassType(UmlType(child)) || UmlType(child) == "Enumeration")) {
        // The model has no classes inside classes: a nested class (UML's
        // nestedClassifier; Umbrello writes a packagedElement inside the
        // class) joins the package of the class that holds it, named after it.
        ReadClass(child, package, depth + 1, added.Name());
      }
    }
  }

  void ReadAttribute(pugi::xml_node node, Class& owner) {
    // An attribute without a name is an unnamed association end: skipped.
    const std::string name = node.attribute("name").value();
    if (name.empty()) return;
    Attribute& attribute = At(node, [&]() -> Attribute& { return model_->AddAttribute(owner, name); });
    Note(node, attribute);
    types_.push_back({node, &attribute, nullptr, nullptr});
  }

  void ReadOperation(pugi::xml_node node, Class& owner) {
    const std::string name = node.attribute("name").value();
    if (name.empty()) {
      Warn(node, Text(WB_XMI_WARN_UNNAMED, {Text(WB_WHAT_OPERATION)}));
      return;
    }
    Operation& operation = At(node, [&]() -> Operation& { return model_->AddOperation(owner, name); });
    Note(node, operation);
    // UML 2 says isStatic; Umbrello (and UML 1) the owner's scope.
    if (std::string_view(node.attribute("isStatic").value()) == "true" ||
        std::string_view(node.attribute("ownerScope").value()) == "classifier") {
      operation.SetStatic(true);
    }
    OperationVisibility visibility{};
    if (VisibilityOfWord(node.attribute("visibility").value(), visibility)) operation.SetVisibility(visibility);
    bool haveReturn = false;
    for (pugi::xml_node child : node.children()) {
      if (child.type() != pugi::node_element || LocalName(child) != "ownedParameter") continue;
      std::string direction = child.attribute("direction").value();
      if (direction.empty()) direction = child.attribute("kind").value();
      if (direction.empty()) direction = "in";
      if (direction == "return") {
        if (!haveReturn) types_.push_back({child, nullptr, nullptr, &operation});
        haveReturn = true;
        continue;
      }
      // A parameter may be unnamed, as in a model document.
      const std::string parameterName = child.attribute("name").value();
      Parameter& parameter = At(child, [&]() -> Parameter& { return model_->AddParameter(operation, parameterName); });
      Note(child, parameter);
      types_.push_back({child, nullptr, &parameter, nullptr});
      parameter.SetInitValue(DefaultValue(child));
      if (direction != "in") parameter.SetToolProperty(kUmlTool, "direction", direction);
    }
  }

  /// A parameter's default value: the `default` attribute, Umbrello's
  /// `value`, or its defaultValue's `value`, first `body`, or the name of
  /// its `instance`.
  std::string DefaultValue(pugi::xml_node node) const {
    if (pugi::xml_attribute old = node.attribute("default")) return old.value();
    if (pugi::xml_attribute umbrello = node.attribute("value")) return umbrello.value();
    const pugi::xml_node value = Child(node, "defaultValue");
    if (!value) return {};
    if (pugi::xml_attribute literal = value.attribute("value")) return literal.value();
    if (pugi::xml_node body = Child(value, "body")) return body.child_value();
    if (pugi::xml_attribute body = value.attribute("body")) return body.value();
    if (pugi::xml_attribute instance = value.attribute("instance")) return NameById(instance.value());
    return {};
  }

  // -- Step 4: references

  /// The name of what the id `id` stands for, as a type of `owner`.
  TypeName TypeById(pugi::xml_node at, std::string_view id, const std::string& owner) {
    if (const Element* element = ModelElement(id)) return {element->Name()};
    if (std::string name = NameById(id); !name.empty()) {
      return {std::move(name), UmlType(byId_.find(id)->second) == "PrimitiveType"};
    }
    // Enterprise Architect's built-in types: "EAJava_int", "EAnone_String".
    const size_t underscore = id.find('_');
    if (id.substr(0, 2) == "EA" && underscore != npos && underscore + 1 < id.size() && id.substr(0, 4) != "EAID" &&
        id.substr(0, 4) != "EAPK") {
      return {std::string(id.substr(underscore + 1)), true};
    }
    Warn(at, Text(WB_XMI_WARN_UNRESOLVED_TYPE, {owner, std::string(id)}));
    return {std::string(id)};
  }

  /// The name of what an href stands for: an element of this file, or the
  /// name after '#' ("...UMLPrimitiveTypes.library.uml#String" is String).
  TypeName TypeByHref(pugi::xml_node at, std::string_view href, const std::string& owner) {
    const size_t hash = href.rfind('#');
    const std::string_view fragment = hash == npos ? std::string_view() : href.substr(hash + 1);
    if (!fragment.empty() && (byId_.contains(fragment) || elements_.contains(fragment))) {
      return TypeById(at, fragment, owner);
    }
    if (fragment.empty() || fragment[0] == '_' || fragment[0] == '/' || fragment.find('@') != npos) {
      // An id or a path into another file: there is no name to be had.
      const std::string raw(fragment.empty() ? href : fragment);
      Warn(at, Text(WB_XMI_WARN_UNRESOLVED_TYPE, {owner, raw}));
      return {raw};
    }
    // A type of a library, such as UML's primitive types.
    return {std::string(fragment), true};
  }

  /// The type of an attribute or parameter element: by its `type`
  /// attribute, or by a `type` child with xmi:idref or href. Empty when
  /// none is given. An empty `type` attribute gives none either: Umbrello
  /// writes it for an element whose type object it does not have (its Java
  /// import loses the type of a parameter whose enumeration it had made a
  /// class before reading the enumeration's file), and shows no type for
  /// it. A result (`result`) without a type returns nothing; an attribute
  /// or parameter gets a warning, since no code can declare it.
  TypeName TypeOf(pugi::xml_node node, const std::string& owner, bool result) {
    if (pugi::xml_attribute type = node.attribute("type")) {
      if (!std::string_view(type.value()).empty()) return TypeById(node, type.value(), owner);
      if (!result) Warn(node, Text(WB_XMI_WARN_EMPTY_TYPE, {owner}));
      return {};
    }
    const pugi::xml_node child = Child(node, "type");
    if (!child) return {};
    const std::string_view idref = XmiAttribute(child, "idref");
    if (!idref.empty()) return TypeById(child, idref, owner);
    if (pugi::xml_attribute href = child.attribute("href")) return TypeByHref(child, href.value(), owner);
    return {child.attribute("name").value()};
  }

  void ResolveTypes() {
    for (PendingType& pending : types_) {
      Element& owner = pending.attribute != nullptr   ? static_cast<Element&>(*pending.attribute)
                       : pending.parameter != nullptr ? static_cast<Element&>(*pending.parameter)
                                                      : static_cast<Element&>(*pending.returnOf);
      TypeName type = TypeOf(pending.node, owner.GetQualifiedName(), pending.returnOf != nullptr);
      pending.primitive = type.primitive;
      if (pending.attribute != nullptr) {
        pending.attribute->SetType(type.name);
      } else if (pending.parameter != nullptr) {
        pending.parameter->SetType(type.name);
      } else {
        pending.returnOf->SetReturnType(type.name);
      }
    }
  }

  /// Whether the types of `c` are Java types.
  static bool SpeaksJava(const Class& c) { return c.Language() == "Java" || c.Language() == "InlineEJB"; }

  /// A UML primitive type as Java spells it (Integer is int, Real double);
  /// any other name as it is.
  static std::string JavaSpelling(const std::string& type) {
    static const std::pair<std::string_view, std::string_view> kSpellings[] = {{"boolean", "boolean"},
                                                                               {"integer", "int"},
                                                                               {"real", "double"},
                                                                               {"string", "String"},
                                                                               {"unlimitednatural", "int"}};
    std::string lower = type;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const auto& [uml, java] : kSpellings) {
      if (lower == uml) return std::string(java);
    }
    return type;
  }

  /// Once the classes' languages are known: in classes of Java, UML's
  /// primitive types get their Java names and "void" stays the return type
  /// of an operation that returns nothing; elsewhere it is no return type.
  void SpellTypes() {
    for (const PendingType& pending : types_) {
      if (pending.attribute != nullptr) {
        if (pending.primitive && SpeaksJava(static_cast<const Class&>(*pending.attribute->Owner()))) {
          pending.attribute->SetType(JavaSpelling(pending.attribute->Type()));
        }
      } else if (pending.parameter != nullptr) {
        const auto& operation = static_cast<const Operation&>(*pending.parameter->Owner());
        if (pending.primitive && SpeaksJava(operation.Parent())) {
          pending.parameter->SetType(JavaSpelling(pending.parameter->Type()));
        }
      } else if (!SpeaksJava(pending.returnOf->Parent())) {
        if (pending.returnOf->ReturnType() == "void") pending.returnOf->SetReturnType("");
      } else if (pending.primitive) {
        pending.returnOf->SetReturnType(JavaSpelling(pending.returnOf->ReturnType()));
      }
    }
  }

  /// The elements a relation names under `name`: ids in an attribute
  /// (space-separated), or child elements with xmi:idref or href.
  std::vector<Reference> References(pugi::xml_node node, const char* name) const {
    std::vector<Reference> references;
    for (const std::string_view id : SplitBlanks(node.attribute(name).value())) references.push_back({std::string(id)});
    for (pugi::xml_node child : node.children()) {
      if (child.type() != pugi::node_element || LocalName(child) != name) continue;
      const std::string_view idref = XmiAttribute(child, "idref");
      if (!idref.empty()) {
        references.push_back({std::string(idref)});
      } else if (pugi::xml_attribute href = child.attribute("href")) {
        const std::string_view text = href.value();
        const size_t hash = text.rfind('#');
        const std::string fragment(hash == npos ? text : text.substr(hash + 1));
        references.push_back({fragment, !byId_.contains(fragment)});
      }
    }
    return references;
  }

  /// The class a reference names; nullptr when it names none (WhyNoClass).
  Class* ClassOf(const Reference& reference) const { return dynamic_cast<Class*>(ModelElement(reference.id)); }

  // Why `reference` names no class: what it names instead, or nothing.
  std::string WhyNoClass(const Reference& reference) const {
    if (!reference.external && byId_.find(reference.id) == byId_.end()) {
      return Text(WB_XMI_REASON_NO_SUCH_ID, {reference.id});
    }
    std::string name = NameById(reference.id);
    if (const Element* element = ModelElement(reference.id)) name = element->GetQualifiedName();
    return Text(WB_XMI_REASON_NOT_A_CLASS, {name.empty() ? reference.id : name});
  }

  void Relate(pugi::xml_node at, Class& client, Class& supplier, bool inherit) {
    const Class::SupplierRange existing = inherit ? client.Inherits() : client.Realizes();
    if (std::find(existing.begin(), existing.end(), &supplier) != existing.end()) return;  // said twice
    try {
      if (inherit) {
        model_->AddInheritance(client, supplier);
      } else {
        model_->AddRealization(client, supplier);
      }
    } catch (const ZtError& e) {
      Warn(at, inherit ? Text(WB_XMI_WARN_GENERALIZATION, {client.GetQualifiedName(), e.Description()})
                       : Text(WB_XMI_WARN_REALIZATION, {e.Description()}));
    }
  }

  void ResolveRelations() {
    for (const PendingRelation& relation : relations_) {
      const pugi::xml_node node = relation.node;
      if (relation.link == Link::kGeneralization) {
        const std::vector<Reference> generals = References(node, "general");
        if (generals.empty()) {
          Warn(node, Text(WB_XMI_WARN_GENERALIZATION,
                          {relation.client->GetQualifiedName(), Text(WB_XMI_REASON_NO_END)}));
        }
        for (const Reference& general : generals) {
          if (Class* supplier = ClassOf(general)) {
            Relate(node, *relation.client, *supplier, true);
          } else {
            Warn(node, Text(WB_XMI_WARN_GENERALIZATION, {relation.client->GetQualifiedName(), WhyNoClass(general)}));
          }
        }
        continue;
      }
      std::vector<Reference> clients;
      if (relation.client == nullptr) {
        clients = References(node, "client");
        if (clients.empty()) clients = References(node, "implementingClassifier");
      }
      std::vector<Reference> suppliers = References(node, "contract");
      if (suppliers.empty()) suppliers = References(node, "supplier");
      if ((relation.client == nullptr && clients.empty()) || suppliers.empty()) {
        Warn(node, Text(WB_XMI_WARN_REALIZATION, {Text(WB_XMI_REASON_NO_END)}));
        continue;
      }
      std::vector<Class*> clientClasses;
      if (relation.client != nullptr) clientClasses.push_back(relation.client);
      for (const Reference& client : clients) {
        if (Class* c = ClassOf(client)) {
          clientClasses.push_back(c);
        } else {
          Warn(node, Text(WB_XMI_WARN_REALIZATION_END, {WhyNoClass(client)}));
        }
      }
      for (const Reference& supplier : suppliers) {
        Class* s = ClassOf(supplier);
        if (s == nullptr) {
          Warn(node, Text(WB_XMI_WARN_REALIZATION_END, {WhyNoClass(supplier)}));
          continue;
        }
        for (Class* c : clientClasses) Relate(node, *c, *s, false);
      }
    }
  }

  // -- Step 4: stereotypes, tags, languages

  void SetLanguage(pugi::xml_node at, Class& c, const std::string& language, Rank rank) {
    if (language.empty()) return;
    Rank& current = languageRank_[&c];
    if (rank > current) {
      c.SetLanguage(language);
      current = rank;
    } else if (rank == current && c.Language() != language) {
      Warn(at, Text(WB_XMI_WARN_LANGUAGE, {c.GetQualifiedName(), c.Language(), language}));
    }
  }

  template <Stereotyped T>
  void SetStereotype(pugi::xml_node at, T& element, const std::string& name) {
    if (stereotyped_.insert(&element).second) {
      element.SetStereotype(name);
    } else if (element.Stereotype() != name) {
      Warn(at, Text(WB_XMI_WARN_SECOND_STEREOTYPE, {element.GetQualifiedName(), element.Stereotype(), name}));
    }
  }

  /// Gives `target` the stereotype `name`. Only classes and operations have
  /// one in the model; a class's stereotype replaces "Interface", and a
  /// stereotype named after a language sets the class's language instead.
  void ApplyStereotype(pugi::xml_node at, Element& target, const std::string& name) {
    if (name.empty()) return;
    if (auto* c = dynamic_cast<Class*>(&target)) {
      for (const std::string_view language : kLanguageStereotypes) {
        if (name == language) {
          SetLanguage(at, *c, name, kRankStereotype);
          return;
        }
      }
      SetStereotype(at, *c, name);
    } else if (auto* o = dynamic_cast<Operation*>(&target)) {
      SetStereotype(at, *o, name);
    }
  }

  /// Sets a tool property; "language" on a class sets its language instead.
  void ApplyProperty(pugi::xml_node at, Element& target, const std::string& tool, const std::string& name,
                     const std::string& value) {
    if (name == "language") {
      if (auto* c = dynamic_cast<Class*>(&target)) {
        SetLanguage(at, *c, value, kRankProperty);
        return;
      }
    }
    try {
      target.SetToolProperty(tool, name, value);
    } catch (const ZtError& e) {
      Warn(at, Text(WB_XMI_WARN_PROPERTY, {tool, name, target.GetQualifiedName(), e.Description()}));
    }
  }

  /// A tool's tag: "TOOL.NAME" is property NAME of tool TOOL, any other
  /// name a property of `defaultTool`.
  void ApplyTag(pugi::xml_node at, Element& target, const char* defaultTool, const std::string& name,
                const std::string& value) {
    const size_t dot = name.find('.');
    if (dot != std::string::npos && dot > 0 && dot + 1 < name.size()) {
      ApplyProperty(at, target, name.substr(0, dot), name.substr(dot + 1), value);
    } else {
      ApplyProperty(at, target, defaultTool, name, value);
    }
  }

  /// The profile's name for a stereotype application: the prefix the file
  /// binds to the profile's namespace, else a name taken from the URI.
  std::string ProfileName(pugi::xml_node application, std::string_view prefix) const {
    if (!prefix.empty()) return std::string(prefix);
    const std::vector<std::string_view> segments = SplitPath(NamespaceUri(application, prefix));
    for (size_t i = segments.size(); i-- > 0;) {
      std::string_view segment = segments[i];
      if (segment[0] == '_' || segment.find_first_not_of("0123456789.") == npos || segment.back() == ':') continue;
      segment = segment.substr(0, segment.find('.'));
      if (!segment.empty()) return std::string(segment);
    }
    return kProfileTool;
  }

  /// Stereotype applications: elements beside the model, below xmi:XMI,
  /// with a base_* attribute naming the element they apply to.
  void ApplyStereotypeApplications() {
    if (LocalName(root_) != "XMI") return;
    for (pugi::xml_node application : root_.children()) {
      if (application.type() != pugi::node_element) continue;
      const auto [prefix, stereotype] = SplitName(application.name());
      const Ns kind = Kind(application, prefix);
      if (kind == Ns::kXmi || kind == Ns::kUml) continue;
      std::vector<std::string_view> bases;
      for (pugi::xml_attribute a : application.attributes()) {
        if (std::string_view(a.name()).substr(0, 5) == "base_") {
          for (const std::string_view id : SplitBlanks(a.value())) bases.push_back(id);
        }
      }
      if (bases.empty()) continue;
      const std::string tool = ProfileName(application, prefix);
      // The values: plain attributes, then child elements (text, or the name
      // of the element they refer to; repeated ones joined).
      std::vector<std::pair<std::string, std::string>> values;
      for (pugi::xml_attribute a : application.attributes()) {
        const std::string_view name = a.name();
        if (name.find(':') == npos && name != "xmlns" && name.substr(0, 5) != "base_") {
          values.emplace_back(std::string(name), a.value());
        }
      }
      for (pugi::xml_node child : application.children()) {
        if (child.type() != pugi::node_element) continue;
        std::string value = child.child_value();
        std::string_view ref = XmiAttribute(child, "idref");
        if (ref.empty()) {
          ref = child.attribute("href").value();
          if (ref.find('#') != npos) ref = ref.substr(ref.rfind('#') + 1);
        }
        if (!ref.empty()) {
          value = NameById(ref);
          if (value.empty()) value = ref;
        }
        const std::string name(LocalName(child));
        auto same = std::find_if(values.begin(), values.end(), [&](const auto& v) { return v.first == name; });
        if (same == values.end()) {
          values.emplace_back(name, value);
        } else {
          same->second += ", " + value;
        }
      }
      for (const std::string_view id : bases) {
        Element* target = ModelElement(id);
        if (target == nullptr) {
          // Applications to what the reader skips (associations, diagrams) are skipped with it.
          if (!byId_.contains(id)) {
            Warn(application, Text(WB_XMI_WARN_APPLICATION_TARGET, {std::string(stereotype), std::string(id)}));
          }
          continue;
        }
        ApplyStereotype(application, *target, std::string(stereotype));
        for (const auto& [name, value] : values) ApplyProperty(application, *target, tool, name, value);
      }
    }
  }

  void ApplyExtensions() {
    if (LocalName(root_) == "XMI") {
      for (pugi::xml_node extension : root_.children()) {
        if (extension.type() != pugi::node_element || !IsXmiElement(extension, "Extension")) continue;
        if (std::string_view(extension.attribute("extender").value()).find("Enterprise Architect") != npos) {
          ApplyEnterpriseArchitect(extension);
        }
      }
    }
    for (const auto& [extension, element] : extensions_) {
      if (std::string_view(extension.attribute("extender").value()).find("Visual Paradigm") != npos) {
        ApplyVisualParadigm(extension, *element);
      }
    }
  }

  void ApplyEaTags(pugi::xml_node entry, Element& target) {
    for (pugi::xml_node tag : Child(entry, "tags").children()) {
      if (tag.type() != pugi::node_element || LocalName(tag) != "tag") continue;
      const std::string name = tag.attribute("name").value();
      if (!name.empty()) ApplyTag(tag, target, kEaTool, name, tag.attribute("value").value());
    }
  }

  /// Enterprise Architect's extension: per element its stereotype, code
  /// language and tags; per operation, parameter and attribute its tags
  /// (and an operation's stereotype).
  void ApplyEnterpriseArchitect(pugi::xml_node extension) {
    for (pugi::xml_node entry : Child(extension, "elements").children()) {
      if (entry.type() != pugi::node_element || LocalName(entry) != "element") continue;
      Element* target = ModelElement(XmiAttribute(entry, "idref"));
      if (target == nullptr) continue;
      if (pugi::xml_node properties = Child(entry, "properties")) {
        ApplyStereotype(properties, *target, properties.attribute("stereotype").value());
      }
      if (auto* c = dynamic_cast<Class*>(target)) {
        const pugi::xml_node code = Child(entry, "code");
        const std::string language = code.attribute("gentype").value();
        if (language != "<none>") SetLanguage(code, *c, language, kRankCode);
      }
      ApplyEaTags(entry, *target);
      for (pugi::xml_node operation : Child(entry, "operations").children()) {
        if (operation.type() != pugi::node_element || LocalName(operation) != "operation") continue;
        Element* op = ModelElement(XmiAttribute(operation, "idref"));
        if (op == nullptr) continue;
        const pugi::xml_node stereotype = Child(operation, "stereotype");
        ApplyStereotype(stereotype, *op, stereotype.attribute("stereotype").value());
        ApplyEaTags(operation, *op);
        for (pugi::xml_node parameter : Child(operation, "parameters").children()) {
          if (parameter.type() != pugi::node_element) continue;
          if (Element* p = ModelElement(XmiAttribute(parameter, "idref"))) ApplyEaTags(parameter, *p);
        }
      }
      for (pugi::xml_node attribute : Child(entry, "attributes").children()) {
        if (attribute.type() != pugi::node_element) continue;
        if (Element* a = ModelElement(XmiAttribute(attribute, "idref"))) ApplyEaTags(attribute, *a);
      }
    }
  }

  /// Visual Paradigm's extension inside an element: appliedStereotype
  /// entries (xmi:value names the stereotype's element, or is an id of the
  /// form "Metaclass_name_id") and taggedValue entries.
  void ApplyVisualParadigm(pugi::xml_node extension, Element& target) {
    ForEachElement(extension, [&](pugi::xml_node node) {
      const std::string_view local = LocalName(node);
      if (local == "appliedStereotype") {
        const std::string_view id = XmiAttribute(node, "value");
        std::string name = NameById(id);
        if (name.empty()) {
          std::string_view derived = id;
          if (derived.size() > 3 && derived.substr(derived.size() - 3) == "_id") derived.remove_suffix(3);
          const size_t underscore = derived.find('_');
          if (underscore != npos) derived.remove_prefix(underscore + 1);
          name = derived;
        }
        ApplyStereotype(node, target, name);
      } else if (local == "taggedValue") {
        std::string name = node.attribute("tag").value();
        if (name.empty()) name = node.attribute("name").value();
        if (name.empty()) name = node.attribute("key").value();
        pugi::xml_attribute value = node.attribute("value");
        if (!name.empty()) ApplyTag(node, target, kVpTool, name, value ? value.value() : node.child_value());
      }
    });
  }

  std::string file_;
  const XmiOptions& options_;
  std::string text_;
  std::unique_ptr<TextPositions> positions_;
  pugi::xml_document doc_;
  pugi::xml_node root_;
  /// The root's namespace declarations (prefix, kind); used while no other
  /// element declares a namespace.
  std::vector<std::pair<std::string, Ns>> rootKinds_;
  bool scoped_ = false;
  std::unordered_map<std::string_view, pugi::xml_node> byId_;
  std::unordered_map<std::string_view, Element*> elements_;
  std::vector<std::pair<pugi::xml_node, Element*>> extensions_;
  std::vector<PendingType> types_;
  std::vector<PendingRelation> relations_;
  std::vector<Class*> classes_;
  // The next suffix to try for a duplicate name, by its qualified name.
  std::unordered_map<std::string, int> nextPackageSuffix_;
  std::unordered_map<std::string, int> nextClassSuffix_;
  std::unordered_map<const Class*, Rank> languageRank_;
  std::unordered_set<const void*> stereotyped_;
  std::unique_ptr<Model> model_;
  std::vector<LoadWarning> warnings_;
};

}  // namespace

std::string LoadWarning::Format() const {
  std::string text = file;
  if (line > 0) text += ":" + std::to_string(line) + ":" + std::to_string(column);
  return text + ": " + Text(WB_WARNING_PREFIX) + message;
}

XmiResult ParseXmi(std::string_view bytes, const std::string& fileName, const XmiOptions& options) {
  return XmiLoader(fileName, options).Load(bytes);
}

}  // namespace zt::wb
