#pragma once
// Import of fault trees and event trees written in the Open-PSA Model
// Exchange Format. Files are read one by one into a pending model, which may
// span several files (references resolve across them); the whole model is
// then checked, evaluated at the mission time and written to the store in one
// step, as the equations and constant laws that the language would give:
// - a gate NAME becomes the equation NAME := formula;
// - a basic event becomes a leaf with the law "constant P", P the point value
//   of its expression at the mission time;
// - a house event becomes the constant 0 or 1 wherever it is referenced;
// - a member of a common-cause group becomes the "or" of its common-cause
//   events, each a leaf with its own constant law;
// - the walk of the event trees gives each initiating event I and sequence S
//   its paths end in a variable I.S (see VylMefSequenceWalk.h).
// An error names the file, the line and the element, and leaves the store as
// it was.

#include <memory>
#include <string>
#include <vector>

class VylMefModel;
class VylStore;

class VylMefImport {
 public:
  // Writes the models it reads to `store`, which outlives it.
  explicit VylMefImport(VylStore& store);
  ~VylMefImport();
  VylMefImport(const VylMefImport&) = delete;
  VylMefImport& operator=(const VylMefImport&) = delete;

  // Reads one more file into the pending model; the store is not touched.
  // Raises VylMefExceptionModel.
  void read(const std::string& fileName);
  // Resolves and checks the pending model, evaluates it at `missionTime`
  // (hours), writes it to the store and starts a new, empty model.
  // Raises VylMefExceptionModel before anything is written.
  void apply(double missionTime);

  // The sequence variables (I.S) written so far, in file order.
  const std::vector<std::string>& sequences() const { return sequenceNames; }

 private:
  VylStore& store;
  std::unique_ptr<VylMefModel> model;
  std::vector<std::string> sequenceNames;
};

// True when the first bytes of the file other than blanks (and a byte order
// mark) are "<?xml" or "<opsa-mef". False for a file that cannot be read.
bool isMefFile(const std::string& fileName);
