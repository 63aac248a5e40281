// The benchmark's model synthesizer: writes a model document (the format of
// docs/model-documents.md) of N operations that get a test, and the list of
// the same tests for the sed baseline.
//
// The model is Enterprise JavaBeans only, all in packages below `bench`:
// per EJB a remote interface X (stereotype EJBRemoteInterface, language
// Java) with 9 to 13 operations — getters, setters and business methods with
// 0 to 3 parameters —, its home interface (EJBHomeInterface) with a
// parameterless `create` and `findByPrimaryKey`, an entity bean realizing
// javax::ejb::EntityBean and a primary-key class with a parameterless
// constructor. Four EJBs in five follow the naming conventions (X, XHome,
// XBean, XPK); every fifth names its parts by "EJB" tool properties instead.
// Everything is drawn from a seeded generator, so one seed and one N always
// give the same bytes.
//
// Host collections are 16-bit: a model holds at most 32767 classes. Four
// classes per EJB and about 13 operations per EJB make 100,000 operations
// fit; the synthesizer refuses an N that would not.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace zt::bench {

/// What to synthesize.
struct SynthOptions {
  /// Operations that get a test: those of the remote and home interfaces.
  int operations = 1000;
  /// The seed of the generator.
  uint64_t seed = 1;
  /// EJBs per package.
  int ejbsPerPackage = 32;
};

/// What was written.
struct SynthSummary {
  /// The qualified names of the packages that hold the EJBs, without the
  /// root's name: what `generate --select` is given.
  std::vector<std::string> packages;
  int operations = 0;  ///< operations that get a test (N)
  int constructors = 0;  ///< primary-key constructors, which get none
  int classes = 0;     ///< classes in the whole model
  int ejbs = 0;
};

/// The largest number of classes a model may hold.
inline constexpr int kMaxClasses = 32767;

/// Writes the model document to `model` and one line per test to `jobs`
/// (see sed-loop.sh for the columns; fields separated by the unit separator
/// 0x1F). Template paths in `jobs` are below `templatesDir`. Returns false
/// with the reason in `error` when the model would exceed the host's limits.
bool SynthesizeModel(const SynthOptions& options, const std::string& templatesDir, std::ostream& model,
                     std::ostream& jobs, SynthSummary& summary, std::string& error);

}  // namespace zt::bench
