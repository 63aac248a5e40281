#include "ModelSynth.h"

#include <array>
#include <ostream>
#include <utility>

namespace zt::bench {

namespace {

// splitmix64: small, fast, and the same on every platform and library.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  /// A number from 0 to `n` - 1.
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }

 private:
  uint64_t state_;
};

constexpr char kSeparator = '\x1f';
constexpr int kMinRemoteOperations = 9;
constexpr int kRemoteOperationSpread = 5;  // 9 to 13
constexpr int kHomeOperations = 2;
constexpr int kClassesPerEjb = 4;
constexpr int kJavaxClasses = 4;
// Every kPropertyEvery-th EJB names its parts by tool properties.
constexpr int kPropertyEvery = 5;

constexpr std::array kNouns = {"Account", "Order", "Customer", "Invoice", "Product",
                               "Shipment", "Ledger", "Payment", "Contract", "Supplier"};
constexpr std::array kFields = {"Total", "Rate", "Name", "Count", "Status", "Limit", "Owner", "Balance"};
constexpr std::array kVerbs = {"compute", "apply", "check", "transfer", "close", "renew", "merge", "audit"};
constexpr std::array kParameterNames = {"amount", "count", "label", "rate", "flag", "limit", "note", "code"};

struct JavaType {
  const char* name;
  const char* initValue;  // as the model writes it
  const char* reader;     // how the sed baseline's test reads it
};
constexpr std::array kTypes = {
    JavaType{"int", "42", "intValue()"},        JavaType{"long", "7", "longValue()"},
    JavaType{"double", "2.5", "doubleValue()"}, JavaType{"boolean", "true", "booleanValue()"},
    JavaType{"String", "\"abc\"", "toString()"},
};

std::string Json(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + '"';
}

struct Parameter {
  std::string name;
  std::string type;
  std::string initValue;  // empty: none
  std::string reader;
};

Parameter MakeParameter(std::string name, const JavaType& type, bool withInitValue) {
  return {std::move(name), type.name, withInitValue ? type.initValue : "", type.reader};
}

enum class Kind { kGetter, kSetter, kBusiness, kCreate, kFinder };

struct Operation {
  std::string name;
  std::string returnType;  // empty for a constructor
  std::vector<Parameter> parameters;
  Kind kind;
};

struct Ejb {
  std::string remote, home, bean, key;
  bool byProperties = false;
  std::vector<Operation> remoteOperations;
  std::vector<Operation> homeOperations;
};

std::vector<Parameter> DrawParameters(Random& random, int count) {
  std::array<int, kParameterNames.size()> order{};
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  std::vector<Parameter> parameters;
  for (int i = 0; i < count; ++i) {
    // A partial shuffle: distinct names within one operation.
    std::swap(order[static_cast<size_t>(i)], order[static_cast<size_t>(i + random.Below(static_cast<int>(order.size()) - i))]);
    const JavaType& type = kTypes[static_cast<size_t>(random.Below(kTypes.size()))];
    parameters.push_back(
        MakeParameter(kParameterNames[static_cast<size_t>(order[static_cast<size_t>(i)])], type, random.Below(2) == 0));
  }
  return parameters;
}

Operation DrawRemoteOperation(Random& random, int index) {
  const std::string suffix = std::to_string(index);
  const JavaType& type = kTypes[static_cast<size_t>(random.Below(kTypes.size()))];
  const std::string field = kFields[static_cast<size_t>(random.Below(kFields.size()))];
  switch (random.Below(20)) {
    case 0: case 1: case 2: case 3: case 4: case 5:
      return {"get" + field + suffix, type.name, {}, Kind::kGetter};
    case 6: case 7: case 8: case 9: case 10:
      return {"set" + field + suffix, "void", {MakeParameter("value", type, random.Below(2) == 0)}, Kind::kSetter};
    default: {
      Operation op{kVerbs[static_cast<size_t>(random.Below(kVerbs.size()))] + field + suffix,
                   random.Below(2) == 0 ? std::string("void") : std::string(type.name), {}, Kind::kBusiness};
      op.parameters = DrawParameters(random, random.Below(4));
      return op;
    }
  }
}

void WriteOperations(std::ostream& out, const std::vector<Operation>& operations) {
  out << ",\n          \"operations\": [";
  for (size_t i = 0; i < operations.size(); ++i) {
    const Operation& op = operations[i];
    out << (i == 0 ? "\n" : ",\n") << "            { \"name\": " << Json(op.name);
    if (!op.returnType.empty()) out << ", \"returnType\": " << Json(op.returnType);
    if (!op.parameters.empty()) {
      out << ", \"parameters\": [";
      for (size_t p = 0; p < op.parameters.size(); ++p) {
        const Parameter& parameter = op.parameters[p];
        out << (p == 0 ? " " : ", ") << "{ \"name\": " << Json(parameter.name) << ", \"type\": "
            << Json(parameter.type);
        if (!parameter.initValue.empty()) out << ", \"initValue\": " << Json(parameter.initValue);
        out << " }";
      }
      out << " ]";
    }
    out << " }";
  }
  out << "\n          ]";
}

void WriteProperties(std::ostream& out, const std::vector<std::pair<std::string, std::string>>& properties) {
  if (properties.empty()) return;
  out << ",\n          \"properties\": { \"EJB\": {";
  for (size_t i = 0; i < properties.size(); ++i) {
    out << (i == 0 ? " " : ", ") << Json(properties[i].first) << ": " << Json(properties[i].second);
  }
  out << " } }";
}

void WriteEjb(std::ostream& out, const Ejb& ejb) {
  using Properties = std::vector<std::pair<std::string, std::string>>;
  Properties remoteProperties, homeProperties, beanProperties;
  if (ejb.byProperties) {
    remoteProperties = {{"home", ejb.home}, {"bean", ejb.bean}};
    homeProperties = {{"remote", ejb.remote}, {"bean", ejb.bean}};
    beanProperties = {{"beantype", "Entity"}, {"primarykey", ejb.key}};
  }
  out << "        {\n          \"name\": " << Json(ejb.remote)
      << ", \"stereotype\": \"EJBRemoteInterface\", \"language\": \"Java\"";
  WriteProperties(out, remoteProperties);
  WriteOperations(out, ejb.remoteOperations);
  out << "\n        },\n        {\n          \"name\": " << Json(ejb.home)
      << ", \"stereotype\": \"EJBHomeInterface\", \"language\": \"Java\"";
  WriteProperties(out, homeProperties);
  WriteOperations(out, ejb.homeOperations);
  out << "\n        },\n        {\n          \"name\": " << Json(ejb.bean)
      << ", \"language\": \"Java\", \"realizes\": [\"javax::ejb::EntityBean\"]";
  WriteProperties(out, beanProperties);
  out << ",\n          \"attributes\": [ { \"name\": \"id\", \"type\": \"String\" } ]";
  out << "\n        },\n        {\n          \"name\": " << Json(ejb.key) << ", \"language\": \"Java\"";
  out << ",\n          \"attributes\": [ { \"name\": \"id\", \"type\": \"String\" } ]";
  WriteOperations(out, {{ejb.key, {}, {}, Kind::kBusiness}});
  out << "\n        }";
}

const char* TemplateFolder(Kind kind) {
  switch (kind) {
    case Kind::kGetter: return "Getter Methods/websphere_remote.template";
    case Kind::kSetter: return "Setter Methods/websphere_remote.template";
    case Kind::kBusiness: return "Business Methods/websphere_remote.template";
    case Kind::kCreate: return "Create Methods/websphere_home.template";
    case Kind::kFinder: return "Finder Methods/websphere_home.template";
  }
  return "";
}

// One line of the sed baseline's job list: the template, the file and the
// value of each tag, in the columns sed-loop.sh reads.
void WriteJob(std::ostream& jobs, const std::string& templatesDir, const std::string& package, const Ejb& ejb,
              const std::string& className, const Operation& op) {
  std::string declarations, initialization, names;
  for (const Parameter& parameter : op.parameters) {
    declarations += parameter.type + " " + parameter.name + "; ";
    initialization += parameter.name + " = dp.value(\"" + parameter.name + "\")." + parameter.reader + "; ";
    if (!names.empty()) names += ", ";
    names += parameter.name;
  }
  const bool returns = op.returnType != "void" && op.kind != Kind::kCreate && op.kind != Kind::kFinder;
  const std::string testName = className + op.name;
  const std::vector<std::string> columns = {
      templatesDir + "/Unit Test Templates/EJB/Websphere/" + TemplateFolder(op.kind),
      "unittests/bench/" + package + "/" + testName + ".java",
      testName,
      className,
      op.name,
      className + "_" + op.name,
      "bench." + package,
      ejb.remote,
      ejb.home,
      ejb.key,
      op.name + "(" + names + ")",
      declarations,
      initialization,
      returns ? op.returnType + " actualReturn;" : std::string(),
      returns ? "actualReturn =" : std::string(),
      returns ? "TestLog.check(dp.value(\"expectedReturn\"), actualReturn);" : std::string("TestLog.pass();"),
  };
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) jobs << kSeparator;
    jobs << columns[i];
  }
  jobs << '\n';
}

}  // namespace

bool SynthesizeModel(const SynthOptions& options, const std::string& templatesDir, std::ostream& model,
                     std::ostream& jobs, SynthSummary& summary, std::string& error) {
  summary = SynthSummary();
  if (options.operations < kHomeOperations + 1) {
    error = "a model needs at least " + std::to_string(kHomeOperations + 1) + " operations";
    return false;
  }
  if (options.ejbsPerPackage < 1) {
    error = "a package needs room for at least one EJB";
    return false;
  }
  Random random(options.seed);

  // How many operations each remote interface gets; the last one takes
  // what is left.
  std::vector<int> remoteCounts;
  for (int left = options.operations; left > 0;) {
    int count = kMinRemoteOperations + random.Below(kRemoteOperationSpread);
    if (left - (count + kHomeOperations) < kHomeOperations + 1) count = left - kHomeOperations;
    remoteCounts.push_back(count);
    left -= count + kHomeOperations;
  }
  const int ejbCount = static_cast<int>(remoteCounts.size());
  const int classes = kJavaxClasses + kClassesPerEjb * ejbCount;
  if (classes > kMaxClasses) {
    error = std::to_string(options.operations) + " operations need " + std::to_string(classes) +
            " classes; a model holds at most " + std::to_string(kMaxClasses);
    return false;
  }
  const int packageCount = (ejbCount + options.ejbsPerPackage - 1) / options.ejbsPerPackage;
  const int digits = static_cast<int>(std::to_string(packageCount - 1).size() < 3 ? 3 : std::to_string(packageCount - 1).size());
  const int ejbDigits = static_cast<int>(std::to_string(ejbCount).size() < 5 ? 5 : std::to_string(ejbCount).size());
  auto padded = [](int value, int width) {
    std::string text = std::to_string(value);
    return std::string(static_cast<size_t>(width) - std::min(text.size(), static_cast<size_t>(width)), '0') + text;
  };

  model << "{\n  \"model\": \"Bench\",\n  \"root\": \"Logical View\",\n  \"packages\": [\n"
        << "    { \"name\": \"javax\", \"packages\": [ { \"name\": \"ejb\", \"classes\": [\n"
        << "      { \"name\": \"EJBObject\", \"stereotype\": \"Interface\", \"language\": \"Java\" },\n"
        << "      { \"name\": \"EJBHome\", \"stereotype\": \"Interface\", \"language\": \"Java\" },\n"
        << "      { \"name\": \"EntityBean\", \"stereotype\": \"Interface\", \"language\": \"Java\" },\n"
        << "      { \"name\": \"SessionBean\", \"stereotype\": \"Interface\", \"language\": \"Java\" }\n"
        << "    ] } ] },\n"
        << "    { \"name\": \"bench\", \"packages\": [";

  int number = 0;
  for (int p = 0; p < packageCount; ++p) {
    const std::string package = "p" + padded(p, digits);
    summary.packages.push_back("bench::" + package);
    model << (p == 0 ? "\n" : ",\n") << "      { \"name\": " << Json(package) << ", \"classes\": [\n";
    const int last = std::min(ejbCount, (p + 1) * options.ejbsPerPackage);
    for (int e = p * options.ejbsPerPackage; e < last; ++e, ++number) {
      Ejb ejb;
      const std::string base = kNouns[static_cast<size_t>(random.Below(kNouns.size()))] + padded(number, ejbDigits);
      ejb.byProperties = number % kPropertyEvery == kPropertyEvery - 1;
      ejb.remote = base;
      ejb.home = base + (ejb.byProperties ? "Factory" : "Home");
      ejb.bean = base + (ejb.byProperties ? "Impl" : "Bean");
      ejb.key = base + (ejb.byProperties ? "Key" : "PK");
      for (int i = 0; i < remoteCounts[static_cast<size_t>(e)]; ++i) {
        Operation op = DrawRemoteOperation(random, i + 1);
        // Without a bean named XBean beside the interface, every operation
        // gets the business template.
        if (ejb.byProperties) op.kind = Kind::kBusiness;
        ejb.remoteOperations.push_back(std::move(op));
      }
      ejb.homeOperations.push_back({"create", ejb.remote, {}, Kind::kCreate});
      // The finder's parameter has the key class for its type.
      ejb.homeOperations.push_back({"findByPrimaryKey", ejb.remote, {{"key", ejb.key, "", "toString()"}}, Kind::kFinder});

      model << (e == p * options.ejbsPerPackage ? "" : ",\n");
      WriteEjb(model, ejb);
      for (const Operation& op : ejb.remoteOperations) WriteJob(jobs, templatesDir, package, ejb, ejb.remote, op);
      for (const Operation& op : ejb.homeOperations) WriteJob(jobs, templatesDir, package, ejb, ejb.home, op);
      summary.operations += static_cast<int>(ejb.remoteOperations.size() + ejb.homeOperations.size());
      ++summary.constructors;
    }
    model << "\n      ] }";
  }
  model << "\n    ] }\n  ]\n}\n";

  summary.classes = classes;
  summary.ejbs = ejbCount;
  if (!model || !jobs) {
    error = "cannot write the model or the job list";
    return false;
  }
  return true;
}

}  // namespace zt::bench
