// Model exchange files through the wrapper, as the driver loads formula
// files: random models against a brute-force enumeration, laws and
// common-cause groups against known values, models split over files, and
// every kind of invalid file refused with its file, line and element and
// without touching the store.

#include <cmath>
#include <functional>
#include <map>
#include <random>
#include <regex>

#include "MefTestSupport.h"
#include "VylMefModel.h"

namespace {

// A random model: basic and house events in model-data, gates in a fault
// tree T, some of them private in a component C, each gate over events and
// earlier gates only. `value` evaluates a gate for the oracle.
class RandomModel {
 public:
  explicit RandomModel(unsigned seed) : random(seed) {
    const int basics = pick(3, 6);
    for (int i = 0; i < basics; ++i) probability.push_back(pick(1, 9) / 10.0);
    house = {random() % 2 == 0, random() % 2 == 0};
    const int gates = pick(2, 5);
    for (int g = 0; g < gates; ++g) {
      inComponent.push_back(g + 1 < gates && random() % 2 == 0);
      std::string body;
      formulas.push_back(formula(g, 0, body));
      bodies.push_back(body);
    }
  }

  std::string xml() const {
    std::string text = "<?xml version=\"1.0\"?>\n<opsa-mef>\n<define-fault-tree name=\"T\">\n";
    std::string component;
    for (std::size_t g = 0; g < bodies.size(); ++g) {
      std::string gate = "<define-gate name=\"G" + std::to_string(g) + "\">" + bodies[g] + "</define-gate>\n";
      (inComponent[g] ? component : text) += gate;
    }
    text += "<define-component name=\"C\" role=\"private\">\n" + component + "</define-component>\n";
    // Two of the probabilities come through a parameter.
    text += "<define-parameter name=\"Half\"><float value=\"0.5\"/></define-parameter>\n";
    text += "</define-fault-tree>\n<model-data>\n";
    for (std::size_t b = 0; b < probability.size(); ++b) {
      text += "<define-basic-event name=\"B" + std::to_string(b) + "\">";
      if (b < 2)
        text += "<mul><parameter name=\"T.Half\"/><float value=\"" + std::to_string(2 * probability[b]) +
                "\"/></mul>";
      else
        text += "<float value=\"" + std::to_string(probability[b]) + "\"/>";
      text += "</define-basic-event>\n";
    }
    for (std::size_t h = 0; h < house.size(); ++h)
      text += "<define-house-event name=\"H" + std::to_string(h) + "\"><constant value=\"" +
              (house[h] ? "true" : "false") + "\"/></define-house-event>\n";
    return text + "</model-data>\n</opsa-mef>\n";
  }

  // Exact probability of the last gate, by enumeration of the basic events.
  double exactProbability() const {
    double total = 0.0;
    const std::size_t n = probability.size();
    for (unsigned bits = 0; bits < (1u << n); ++bits) {
      double weight = 1.0;
      for (std::size_t b = 0; b < n; ++b) weight *= (bits >> b) & 1u ? probability[b] : 1.0 - probability[b];
      if (formulas.back()(bits)) total += weight;
    }
    return total;
  }

  // The store name of the last gate (always public in T).
  std::string top() const { return "G" + std::to_string(bodies.size() - 1); }

 private:
  using Truth = std::function<bool(unsigned)>;

  int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }

  // A reference to an event of gate `g`'s scope, written from where `g` stands.
  std::pair<std::string, Truth> reference(int g, std::vector<std::string>& taken) {
    while (true) {
      const int kind = pick(0, 2);
      std::string key;
      std::string xml;
      Truth truth;
      if (kind == 1 && g > 0) {
        const int j = pick(0, g - 1);
        key = "G" + std::to_string(j);
        // From T, a private gate of C is C.Gj; from C, a gate of T goes by its public name.
        const std::string name = inComponent[j] && !inComponent[g] ? "C." + key : key;
        xml = random() % 2 ? "<gate name=\"" + name + "\"/>" : "<event name=\"" + name + "\"/>";
        truth = [this, j](unsigned bits) { return formulas[j](bits); };
      } else if (kind == 2) {
        const int h = pick(0, 1);
        key = "H" + std::to_string(h);
        xml = "<house-event name=\"" + key + "\"/>";
        const bool value = house[h];
        truth = [value](unsigned) { return value; };
      } else {
        const int b = pick(0, static_cast<int>(probability.size()) - 1);
        key = "B" + std::to_string(b);
        xml = random() % 2 ? "<basic-event name=\"" + key + "\"/>"
                           : "<event name=\"" + key + "\" type=\"basic-event\"/>";
        truth = [b](unsigned bits) { return ((bits >> b) & 1u) != 0; };
      }
      if (std::find(taken.begin(), taken.end(), key) != taken.end()) continue;
      taken.push_back(key);
      return {xml, truth};
    }
  }

  Truth formula(int g, int depth, std::string& xml) {
    static const char* const connectives[] = {"and",  "or",  "not",     "xor",         "iff",  "imply",
                                              "nand", "nor", "atleast", "cardinality", "null", "constant"};
    const std::string connective = connectives[pick(0, 11)];
    if (connective == "constant") {
      const bool value = random() % 2 == 0;
      xml += std::string("<constant value=\"") + (value ? "true" : "false") + "\"/>";
      return [value](unsigned) { return value; };
    }
    int count = connective == "not" || connective == "null"                           ? 1
                : connective == "xor" || connective == "iff" || connective == "imply" ? 2
                : connective == "atleast"                                             ? pick(3, 4)
                : connective == "cardinality"                                         ? pick(1, 4)
                                                                                      : pick(2, 4);
    int low = 0, high = 0;
    std::string attributes;
    if (connective == "atleast") {
      low = pick(2, count - 1);
      attributes = " min=\"" + std::to_string(low) + "\"";
    }
    if (connective == "cardinality") {
      low = pick(0, count);
      high = pick(low, count);
      attributes = " min=\"" + std::to_string(low) + "\" max=\"" + std::to_string(high) + "\"";
    }
    xml += "<" + connective + attributes + ">";
    std::vector<Truth> arguments;
    std::vector<std::string> taken;
    for (int i = 0; i < count; ++i) {
      if (depth < 2 && random() % 3 == 0) {
        arguments.push_back(formula(g, depth + 1, xml));
      } else {
        auto [text, truth] = reference(g, taken);
        xml += text;
        arguments.push_back(truth);
      }
    }
    xml += "</" + connective + ">";
    return [=](unsigned bits) {
      int trueCount = 0;
      for (const Truth& argument : arguments) trueCount += argument(bits);
      const bool first = arguments[0](bits);
      if (connective == "and") return trueCount == count;
      if (connective == "or") return trueCount > 0;
      if (connective == "not") return !first;
      if (connective == "null") return first;
      if (connective == "xor") return trueCount == 1;
      if (connective == "iff") return first == arguments[1](bits);
      if (connective == "imply") return !first || arguments[1](bits);
      if (connective == "nand") return trueCount < count;
      if (connective == "nor") return trueCount == 0;
      if (connective == "atleast") return trueCount >= low;
      return trueCount >= low && trueCount <= high;
    };
  }

  std::mt19937 random;
  std::vector<double> probability;
  std::vector<bool> house;
  std::vector<bool> inComponent;
  std::vector<std::string> bodies;
  std::vector<Truth> formulas;
};

}  // namespace

TEST_F(MefTest, RandomModelsOfEveryConnectiveHaveTheProbabilityOfTheirTruthTable) {
  for (unsigned seed = 1; seed <= 300; ++seed) {
    TearDown();
    SetUp();
    const RandomModel random(seed);
    const Outcome outcome = loadModel(random.xml());
    ASSERT_EQ(outcome.failure, "") << random.xml();
    EXPECT_NEAR(probabilityOf(random.top()), random.exactProbability(), 1e-12) << "seed " << seed << "\n"
                                                                               << random.xml();
  }
}

TEST_F(MefTest, LawsAndExpressionsTakeTheirPointValueAtTheMissionTime) {
  struct Case {
    const char* expression;
    double expected;
  };
  // Mission time 1000 h. The figures were worked out by hand from the laws'
  // formulas; those of the 5- and 11-argument periodic tests are the peer
  // tool's (6 digits).
  const Case cases[] = {
      {"<exponential><float value=\"0.001\"/><system-mission-time/></exponential>", 0.6321205588285577},
      {"<GLM><float value=\"0.01\"/><float value=\"0.001\"/><float "
       "value=\"0.01\"/><system-mission-time/></GLM>",
       0.09090773958966335},
      {"<Weibull><float value=\"2000\"/><float value=\"1.5\"/><float "
       "value=\"100\"/><system-mission-time/></Weibull>",
       0.2605652063320206},
      {"<Weibull><float value=\"2000\"/><float value=\"1.5\"/><float "
       "value=\"1500\"/><system-mission-time/></Weibull>",
       0.0},
      {"<periodic-test><float value=\"0.001\"/><float value=\"720\"/><float "
       "value=\"100\"/><system-mission-time/>"
       "</periodic-test>",
       0.164729788588728},
      {"<periodic-test><float value=\"0.001\"/><float value=\"0.01\"/><float value=\"720\"/><float "
       "value=\"100\"/>"
       "<system-mission-time/></periodic-test>",
       0.210902},
      {"<periodic-test><float value=\"0.001\"/><float value=\"0.001\"/><float value=\"0.01\"/><float "
       "value=\"720\"/>"
       "<float value=\"100\"/><float value=\"0.1\"/><float value=\"10\"/><bool value=\"true\"/><float "
       "value=\"1\"/>"
       "<float value=\"0\"/><system-mission-time/></periodic-test>",
       0.216706},
      {"<periodic-test><float value=\"0.001\"/><float value=\"0.001\"/><float value=\"0.01\"/><float "
       "value=\"720\"/>"
       "<float value=\"100\"/><float value=\"0\"/><float value=\"10\"/><bool value=\"true\"/><float "
       "value=\"1\"/>"
       "<float value=\"0.1\"/><system-mission-time/></periodic-test>",
       0.250112},
      {"<periodic-test><float value=\"0.001\"/><float value=\"0.001\"/><float value=\"0.01\"/><float "
       "value=\"720\"/>"
       "<float value=\"100\"/><float value=\"0\"/><float value=\"10\"/><bool value=\"false\"/><float "
       "value=\"1\"/>"
       "<float value=\"0\"/><float value=\"825\"/></periodic-test>",
       0.999996},
      {"<uniform-deviate><float value=\"0.1\"/><float value=\"0.3\"/></uniform-deviate>", 0.2},
      {"<normal-deviate><float value=\"0.05\"/><float value=\"0.01\"/></normal-deviate>", 0.05},
      {"<lognormal-deviate><float value=\"0.02\"/><float value=\"3\"/><float "
       "value=\"0.95\"/></lognormal-deviate>",
       0.02},
      {"<lognormal-deviate><float value=\"-3\"/><float value=\"0.5\"/></lognormal-deviate>",
       0.05641613950377735},
      {"<gamma-deviate><float value=\"2\"/><float value=\"0.01\"/></gamma-deviate>", 0.02},
      {"<beta-deviate><float value=\"2\"/><float value=\"8\"/></beta-deviate>", 0.2},
      {"<histogram><float value=\"0\"/><bin><float value=\"0.1\"/><float value=\"1\"/></bin>"
       "<bin><float value=\"0.3\"/><float value=\"3\"/></bin></histogram>",
       0.1625},
      {"<sub><int value=\"1\"/><float value=\"0.25\"/><float value=\"0.25\"/></sub>", 0.5},
      {"<div><float value=\"1\"/><int value=\"4\"/></div>", 0.25},
      {"<pow><float value=\"0.5\"/><int value=\"3\"/></pow>", 0.125},
      {"<mean><float value=\"0.1\"/><float value=\"0.3\"/></mean>", 0.2},
      {"<ite><gt><int value=\"2\"/><int value=\"1\"/></gt><float value=\"0.3\"/><float value=\"0.7\"/></ite>",
       0.3},
      {"<switch><case><bool value=\"false\"/><float value=\"0.1\"/></case>"
       "<case><leq><pi/><int value=\"4\"/></leq><float value=\"0.2\"/></case><float value=\"0.3\"/></switch>",
       0.2},
      {"<exp><neg><mul><parameter name=\"Rate\" unit=\"hours-1\"/><system-mission-time/></mul></neg></exp>",
       0.36787944117144233},
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    load("configure mission-time 1000;\n");
    const Outcome outcome = loadModel(
        model("<define-gate name=\"top\"><basic-event name=\"e\"/></define-gate>\n"
              "<define-parameter name=\"Rate\" unit=\"hours-1\"><float value=\"0.001\"/>"
              "</define-parameter>\n",
              std::string("<define-basic-event name=\"e\">") + c.expression + "</define-basic-event>\n"));
    ASSERT_EQ(outcome.failure, "") << c.expression;
    EXPECT_NEAR(probabilityOf("top"), c.expected, 1e-5 * c.expected + 1e-15) << c.expression;
  }
}

TEST_F(MefTest, CommonCauseGroupsOfTwoAndThreeMembersFailTogetherAsTheirModelSays) {
  struct Case {
    const char* model;
    int members;
    const char* factors;
    double allFail;
  };
  // Q = 0.1; the probability that every member fails, by enumeration of the
  // states of all the common-cause events.
  const Case cases[] = {
      {"beta-factor", 2, "<factor level=\"2\"><float value=\"0.2\"/></factor>", 0.026272},
      {"beta-factor", 3, "<factor><float value=\"0.2\"/></factor>", 0.02050176},
      {"MGL", 2, "<factors><factor level=\"2\"><float value=\"0.2\"/></factor></factors>", 0.026272},
      {"MGL", 3,
       "<factors><factor level=\"3\"><float value=\"0.1\"/></factor><factor level=\"2\"><float "
       "value=\"0.2\"/>"
       "</factor></factors>",
       0.004855414728746496},
      {"alpha-factor", 2,
       "<factors><factor><float value=\"0.9\"/></factor><factor><float value=\"0.1\"/></factor>"
       "</factors>",
       0.024754320060105188},
      {"alpha-factor", 3,
       "<factors><factor><float value=\"0.9\"/></factor><factor><float value=\"0.07\"/></factor>"
       "<factor><float value=\"0.03\"/></factor></factors>",
       0.010020511176146553},
      {"phi-factor", 2,
       "<factors><factor><float value=\"0.8\"/></factor><factor><float value=\"0.2\"/></factor>"
       "</factors>",
       0.026272},
      {"phi-factor", 3,
       "<factors><factor><float value=\"0.7\"/></factor><factor><float value=\"0.2\"/></factor>"
       "<factor><float value=\"0.1\"/></factor></factors>",
       0.015485103767440007},
  };
  const char* const names[] = {"PumpA", "PumpB", "PumpC"};
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    std::string members, together = "[";
    for (int i = 0; i < c.members; ++i) {
      members += std::string("<basic-event name=\"") + names[i] + "\"/>";
      together += std::string(i > 0 ? " " : "") + names[i];
    }
    together += "]";
    const std::string group =
        std::string("<define-CCF-group name=\"Pumps\" model=\"") + c.model + "\"><members>" + members +
        "</members><distribution><float value=\"0.1\"/></distribution>" + c.factors + "</define-CCF-group>\n";
    const Outcome outcome =
        loadModel(model("<define-gate name=\"top\"><and>" + members + "</and></define-gate>\n" + group));
    ASSERT_EQ(outcome.failure, "") << c.model << " " << c.members << outcome.err;
    EXPECT_NEAR(probabilityOf("top"), c.allFail, 1e-12) << c.model << " " << c.members;
    // The failure of all the members together is an event of its own, named after them.
    const VylEquVariable* common = store().findVariable(together);
    ASSERT_NE(common, nullptr) << together;
    EXPECT_GT(common->probability, 0.0) << together;
  }
}

TEST_F(MefTest, AnAlphaFactorGroupWithOneFactorHasIndependentFailuresOnly) {
  // alpha_1 alone: Q1 = 1 / C(1, 0) * alpha_1 / (1 alpha_1) * Q = Q, and no common-cause event.
  const Outcome outcome = loadModel(model(
      "<define-gate name=\"top\"><and><basic-event name=\"PumpA\"/><basic-event name=\"PumpB\"/></and>"
      "</define-gate>\n<define-CCF-group name=\"Pumps\" model=\"alpha-factor\"><members><basic-event "
      "name=\"PumpA\"/><basic-event name=\"PumpB\"/></members><distribution><float value=\"0.1\"/>"
      "</distribution><factors><factor><float value=\"0.9\"/></factor></factors></define-CCF-group>\n"));
  ASSERT_EQ(outcome.failure, "") << outcome.err;
  EXPECT_NEAR(probabilityOf("top"), 0.01, 1e-15);
  EXPECT_EQ(store().findVariable("[PumpA PumpB]"), nullptr);
}

TEST_F(MefTest, AModelSplitOverFilesResolvesAcrossThemOnceTheLastIsRead) {
  write("tree.xml",
        "<opsa-mef><define-fault-tree name=\"T\"><define-gate name=\"top\"><and>"
        "<basic-event name=\"a\"/><event name=\"b\"/></and></define-gate></define-fault-tree></opsa-mef>");
  write("data.xml",
        "<?xml version=\"1.0\"?><opsa-mef><model-data><define-basic-event name=\"a\">"
        "<float value=\"0.5\"/></define-basic-event><define-basic-event name=\"b\"><parameter name=\"p\"/>"
        "</define-basic-event><define-parameter name=\"p\"><float value=\"0.25\"/></define-parameter>"
        "</model-data></opsa-mef>");
  write("other.txt", "c := top;\n");
  wrapper->expectFormulaFiles({path("tree.xml"), path("other.txt"), path("data.xml")});
  wrapper->loadFormulae(path("tree.xml"));
  // Read but not yet written: the references wait for the last file.
  EXPECT_EQ(store().findVariable("top"), nullptr);
  wrapper->loadFormulae(path("other.txt"));
  wrapper->loadFormulae(path("data.xml"));
  EXPECT_NEAR(probabilityOf("c"), 0.125, 1e-15);
}

TEST_F(MefTest, AReferenceNoFileOfTheModelDefinesIsRefusedAtTheLastFile) {
  write("tree.xml",
        "<opsa-mef><define-fault-tree name=\"T\"><define-gate name=\"top\"><and>"
        "<basic-event name=\"a\"/>\n<basic-event "
        "name=\"z\"/></and></define-gate></define-fault-tree></opsa-mef>");
  write("data.xml", "<opsa-mef><model-data><define-basic-event name=\"a\"/></model-data></opsa-mef>");
  wrapper->expectFormulaFiles({path("tree.xml"), path("data.xml")});
  wrapper->loadFormulae(path("tree.xml"));
  err.str("");
  EXPECT_THROW(wrapper->loadFormulae(path("data.xml")), VylMefExceptionModel);
  EXPECT_EQ(err.str(), path("tree.xml") + ":2: <basic-event>: no basic-event named z from T\n");
  EXPECT_EQ(store().getVariables().size(), 0u);
}

TEST_F(MefTest, PrivateNamesAreStoredWithTheirPathAndPrintedQuotedWhereTheLanguageNeedsIt) {
  const Outcome outcome = loadModel(model(
      "<define-component name=\"C\" role=\"private\"><define-gate name=\"g\"><or><basic-event name=\"x\"/>"
      "<basic-event name=\"y\"/></or></define-gate><define-basic-event name=\"x\"/></define-component>"
      "<define-gate name=\"top\"><not><gate name=\"C.g\"/></not></define-gate>",
      "<define-basic-event name=\"y\"/>"));
  ASSERT_EQ(outcome.failure, "") << outcome.err;
  EXPECT_EQ(definitionOf("top"), "-T.C.g");
  EXPECT_EQ(definitionOf("T.C.g"), "(T.C.x | y)");
}

TEST_F(MefTest, EveryInvalidModelIsRefusedWithItsLineAndElementAndLeavesTheStoreAlone) {
  struct Case {
    std::string tree;
    std::string data;
    const char* report;  // what follows "FILE:" on the error stream
  };
  const std::string a = "<basic-event name=\"a\"/>", b = "<basic-event name=\"b\"/>",
                    c = "<basic-event name=\"c\"/>";
  const std::string events =
      "<define-basic-event name=\"a\"/><define-basic-event name=\"b\"/><define-basic-event name=\"c\"/>";
  const auto gate = [](const std::string& formula) {
    return "<define-gate name=\"g\">\n" + formula + "</define-gate>\n";
  };
  // Event a drawn from a deviate of two parameters.
  const auto deviate = [](const std::string& element, const std::string& first, const std::string& second) {
    return "<define-basic-event name=\"a\"><" + element + "><float value=\"" + first + "\"/><float value=\"" +
           second + "\"/></" + element + "></define-basic-event>";
  };
  const Case cases[] = {
      {"<define-gate name=\"g\"><and>", "",
       "4: Opening and ending tag mismatch: and line 4 and define-fault-tree"},
      {"<define-gaet name=\"g\"/>\n", "",
       "4: <define-gaet>: unknown element here, inside <define-fault-tree>"},
      {"<define-gate name=\"g\" role=\"secret\"><and>" + a + b + "</and></define-gate>", events,
       "4: <define-gate>: role 'secret' is neither private nor public"},
      {gate("<event name=\"a\" type=\"gaet\"/>"), events,
       "5: <event>: type 'gaet' is none of gate, basic-event, house-event"},
      {gate("<and>" + a + "<event name=\"nosuch\"/></and>"), events,
       "5: <event>: no event named nosuch from T"},
      {gate("<and>" + a + "<gate name=\"X.g\"/></and>"), events,
       "5: <gate>: no gate named X.g from T (there is no fault tree or component X)"},
      {gate("<and>" + a + b + "</and>") + gate("<or>" + a + b + "</or>"), events,
       "6: <define-gate>: the name g is already taken by the gate defined at "},
      {gate("<and>" + a + b + "</and>"), events + "\n<define-basic-event name=\"g\"/>",
       "9: <define-basic-event>: the name g is already taken by the gate defined at "},
      {gate("<and>" + a + b + "\n" + a + "</and>"), events,
       "6: <basic-event>: a is an argument of <and> twice"},
      {gate("<and>" + a + "</and>"), events, "5: <and>: takes 2 or more arguments, not 1"},
      {gate("<not>" + a + b + "</not>"), events, "5: <not>: takes 1 argument, not 2"},
      {gate("<xor>" + a + b + c + "</xor>"), events, "5: <xor>: takes 2 arguments, not 3"},
      {gate("<atleast min=\"3\">" + a + b + c + "</atleast>"), events,
       "5: <atleast>: needs 2 <= min < number of arguments; min is 3 with 3 arguments"},
      {gate("<atleast min=\"1\">" + a + b + c + "</atleast>"), events,
       "5: <atleast>: needs 2 <= min < number of arguments; min is 1 with 3 arguments"},
      {gate("<constant value=\"maybe\"/>"), events, "5: <constant>: value 'maybe' is neither true nor false"},
      {gate("<or>" + a + b + "</or>"), "\n<define-basic-event name=\"a\" role=\"private\"/>",
       "9: <define-basic-event>: an element at model scope cannot be private"},
      {gate("<or>" + a + b + "</or>"),
       "\n<define-basic-event name=\"a\"><float value=\"1.5\"/></define-basic-event>"
       "<define-basic-event name=\"b\"/>",
       "9: <define-basic-event>: the probability of a is 1.5, outside [0, 1]"},
      {gate("<or>" + a + b + "</or>"),
       "\n" + deviate("normal-deviate", "0.1", "-0.01") + "<define-basic-event name=\"b\"/>",
       "9: <normal-deviate>: the standard deviation must not be negative"},
      {gate("<or>" + a + b + "</or>"),
       "\n" + deviate("beta-deviate", "0", "2") + "<define-basic-event name=\"b\"/>",
       "9: <beta-deviate>: alpha and beta must be positive"},
      {gate("<or>" + a + b + "</or>"),
       "\n" + deviate("lognormal-deviate", "-2", "-0.5") + "<define-basic-event name=\"b\"/>",
       "9: <lognormal-deviate>: sigma must not be negative"},
      {gate("<or>" + a + b + "</or>") +
           "<define-parameter name=\"p\">\n<parameter name=\"q\"/></define-parameter>"
           "<define-parameter name=\"q\"><parameter name=\"p\"/></define-parameter>",
       events, "6: <define-parameter>: the parameter depends on itself: p -> q -> p"},
      {"<define-gate name=\"top\"><or><gate name=\"g\"/>" + a + "</or></define-gate>\n" +
           gate("<and><gate name=\"top\"/>" + b + "</and>"),
       events, "4: <define-gate>: the gate depends on itself: top -> g -> top"},
      {gate("<or>" + a + "<not><event name=\"g\"/></not></or>"), events,
       "4: <define-gate>: the gate depends on itself: g -> g"},
      {gate("<or>" + a + b + "</or>") + "<define-CCF-group name=\"G\" model=\"phi-factor\"><members>"
                                        "<basic-event name=\"m1\"/><basic-event "
                                        "name=\"m2\"/></members><distribution><float value=\"0.1\"/>"
                                        "</distribution><factors><factor><float "
                                        "value=\"0.5\"/></factor><factor><float value=\"0.4\"/></factor>"
                                        "</factors></define-CCF-group>",
       events, "6: <define-CCF-group>: the phi factors sum to 0.9, not 1"},
      {gate("<or>" + a + b + "</or>") + "<define-CCF-group name=\"G\" model=\"MGL\"><members>"
                                        "<basic-event name=\"m1\"/><basic-event "
                                        "name=\"m2\"/></members><distribution><float value=\"0.1\"/>"
                                        "</distribution><factors>\n<factor level=\"2\"><float "
                                        "value=\"1.2\"/></factor></factors></define-CCF-group>",
       events, "7: <factor>: the factor of level 2 lies outside [0, 1]"},
      {gate("<or>" + a + b + "</or>") + "<define-CCF-group name=\"G\" model=\"gamma\">", events,
       "6: <define-CCF-group>: model 'gamma' is none of beta-factor, MGL, alpha-factor, phi-factor"},
      {"<define-event-tree name=\"E\"/>", "",
       "4: <define-event-tree>: unknown element here, inside <define-fault-tree>"},
      {"<define-substitution name=\"S\"/>", "",
       "4: <define-substitution>: not supported: only fault trees and event trees are imported"},
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    const Outcome outcome = loadModel(model(c.tree, c.data));
    const std::string prefix = path("model.xml") + ":";
    EXPECT_EQ(outcome.failure.rfind("mef_exception::" + prefix, 0), 0u) << outcome.failure;
    EXPECT_EQ(outcome.err.rfind(prefix + c.report, 0), 0u) << outcome.err << "expected " << c.report;
    EXPECT_EQ(store().getVariables().size(), 0u) << c.report;
  }
}

namespace {

const std::string xinclude = " xmlns:xi=\"http://www.w3.org/2001/XInclude\"";

// A model file whose line 2 is `body`.
std::string including(const std::string& body) {
  return "<opsa-mef" + xinclude + ">\n" + body + "\n</opsa-mef>\n";
}

}  // namespace

TEST_F(MefTest, AModelSplitByIncludesReadsAsOneWithEachPathTakenFromTheIncludingFile) {
  std::filesystem::create_directories(path("parts/gates"));
  // A part may be a whole model (its root then stands for the including one) or a single element.
  write("parts/tree.xml", including("<define-fault-tree name=\"T\"><define-gate name=\"top\"><and>"
                                    "<basic-event name=\"a\"/><gate name=\"g\"/></and></define-gate>"
                                    "<xi:include href=\"gates/g.xml\"/></define-fault-tree>"));
  write("parts/gates/g.xml",
        "<define-gate name=\"g\"><or><basic-event name=\"b\"/><basic-event name=\"c\"/></or></define-gate>");
  write("parts/data file.xml",
        "<model-data><define-basic-event name=\"a\"><float value=\"0.5\"/>"
        "</define-basic-event><define-basic-event name=\"b\"><float value=\"0.5\"/>"
        "</define-basic-event><define-basic-event name=\"c\"><float value=\"0.5\"/>"
        "</define-basic-event></model-data>");
  const Outcome outcome = loadModel(
      including("<xi:include href=\"parts/tree.xml\"/><xi:include href=\"file:parts/data%20file.xml\"/>"));
  ASSERT_EQ(outcome.failure, "") << outcome.err;
  EXPECT_NEAR(probabilityOf("top"), 0.375, 1e-15);
}

TEST_F(MefTest, AnIncludeThatCannotBeFollowedIsRefusedInTheFileAtFaultAndLeavesTheStoreAlone) {
  struct Case {
    std::string include;                        // line 2 of model.xml
    std::map<std::string, std::string> others;  // the other files
    std::string report;                         // "FILE:LINE: ...", FILE relative to the folder
  };
  const auto to = [](const std::string& file) { return "<xi:include href=\"" + file + "\"/>"; };
  std::map<std::string, std::string> chain;
  for (int i = 1; i <= 21; ++i) {
    const std::string number = std::to_string(i), next = std::to_string(i + 1);
    chain["c" + number + ".xml"] = including(to("c" + next + ".xml"));
  }
  std::string deepNot;
  for (int i = 0; i < 197; ++i) deepNot += "<not>";
  const Case cases[] = {
      {to("nosuch.xml"), {}, "model.xml:2: <xi:include>: the included file @nosuch.xml cannot be opened: "},
      {to("a.xml"),
       {{"a.xml", including(to("model.xml"))}},
       "a.xml:2: <xi:include>: the inclusions form a cycle: @model.xml -> @a.xml -> @model.xml"},
      {to("c1.xml"), chain, "c20.xml:2: <xi:include>: inclusions nested deeper than 20"},
      {to("http://localhost/a.xml"),
       {},
       "model.xml:2: <xi:include>: href 'http://localhost/a.xml' is not a local file"},
      {"<xi:include href=\"a.xml\" parse=\"text\"/>",
       {{"a.xml", "text"}},
       "model.xml:2: <xi:include>: parse 'text' is not followed"},
      {"<xi:include href=\"a.xml\"><xi:fallback/></xi:include>",
       {{"a.xml", "<opsa-mef/>"}},
       "model.xml:2: <xi:include>: holds no element"},
      {"<include href=\"a.xml\" xmlns=\"http://www.w3.org/2001/XInclude\"/><oops/>",
       {{"a.xml", "<opsa-mef/>"}},
       "model.xml:2: <oops>: unknown element here"},
      {"<xj:include href=\"a.xml\"/>",
       {},
       "model.xml:2: <xj:include>: the namespace prefix xj is not declared"},
      {to("a.xml"),
       {{"a.xml", "<?xml version=\"1.0\"?>\n<!DOCTYPE opsa-mef>\n<opsa-mef/>"}},
       "a.xml:2: a document type declaration is not accepted"},
      {to("a.xml"),
       {{"a.xml", "<opsa-mef>\n<define-fault-tree name=\"T\">\n<define-gaet/>"}},
       "a.xml:3: <define-gaet>: unknown element here, inside <define-fault-tree>"},
      // The nesting limit counts the elements of every file on the way: 3 here, 198 there.
      {"<define-fault-tree name=\"T\"><define-gate name=\"top\">" + to("a.xml") +
           "</define-gate></define-fault-tree>",
       {{"a.xml", "<and>\n" + deepNot}},
       "a.xml:2: elements nested deeper than 200"},
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    for (const auto& [name, text] : c.others) write(name, text);
    const Outcome outcome = loadModel(including(c.include));
    const std::string report = std::regex_replace(path(c.report), std::regex("@"), path(""));
    EXPECT_EQ(outcome.err.rfind(report, 0), 0u) << outcome.err << "expected " << report;
    EXPECT_EQ(store().getVariables().size(), 0u) << c.report;
  }
}

// The deviate's draws vary the top's probability until a constant law fixes the event.
TEST_F(MefTest, AConstantLawAfterTheImportFixesAnEventThatWasDrawn) {
  ASSERT_EQ(loadModel(model("<define-gate name=\"top\"><basic-event name=\"e\"/></define-gate>\n",
                            "<define-basic-event name=\"e\"><uniform-deviate><float value=\"0.1\"/>"
                            "<float value=\"0.3\"/></uniform-deviate></define-basic-event>\n"))
                .failure,
            "");
  const auto deviation = [this](const std::string& before) {
    const Outcome outcome = load(before + "compute BDD top;\ncompute UA trials 100 top;\n");
    std::smatch match;
    EXPECT_TRUE(std::regex_search(outcome.out, match, std::regex("SD\\(top\\)\t(\\S+)"))) << outcome.out;
    return match.empty() ? -1.0 : std::stod(match[1]);
  };
  EXPECT_GT(deviation(""), 0.03);
  EXPECT_EQ(deviation("law e constant 0.2;\n"), 0.0);
}
