// Client operations drawn at random with fixed seeds over the memory backend
// while it fails at random: after each one the registries hold together, and
// at the end nothing of the layer is left. KEZDCQR_RANDOM_STEPS sets the
// operations per seed (1500), KEZDCQR_RANDOM_SEEDS how many more seeds to run.
#include <cstdlib>
#include <functional>
#include <iterator>
#include <random>

#include "support/AccessFaults.h"
#include "support/E2eSupport.h"

namespace kez {
namespace test {
namespace {

const char* const kQueries[] = {
    "Get(@m:main:orders:{item+amount}:3:item)",
    "Get(@m:main:orders:{item+amount}:3:amount * 2)",
    "Get(@m:main:orders:{*}:2:price + @m:main:orders:{*}:2:amount)",
    "Get(@m:main:[#table]:{item+amount}:2:item)",
    "Get(@m:t:$t:{item+amount}:3:amount)",
    "Get(@$base:main:orders:{item}:4:item)",
    "Get(@m:main:orders:{item+amount}:3)",
    "Get(@m)",
    "Get(@m:main + @m:main:orders)",
    "Get(@m:main:orders:{item+amount})",
    "Get(@m:main:$a:{item}:2:item)",
    "Get(@m:main:orders:{item}:1:$c)",
    "Put(@m:main:orders:{item+amount}:3:item, @m:main:copy:{item+amount}:1:item)",
    "Put(@m:main:orders:{item+amount}:3:amount * 10, @m:main:copy:{item+amount}:1:amount)",
    "Put(\"x\", @m:main:copy:{item+amount}:1:item)",
    "Put(@m:main:copy:{item+amount}:1)",
    "Put(@m:main:[#table]:{item+amount}:2:item, @m:main:copy:{item+amount}:1:item)",
    "Put(@m:main:copy:{item+amount}:1:item, $t)",
    "Free(@m:main:orders:{item+amount}:3:item)",
    "Init(@m:main:orders:{item+amount}:3)",
    "Get(",
    "Get(@m:main:[orders)",
    "Get(@m]x:main)",
    "(x)",
    "Put(@m:main:orders:{item}:1:item)",
    "Get(@m:main:orders:{item}:0:item)",
    "Get(@m:main:orders:{item}:abc)",
    "Get(@m:main:orders:$cols:2:item)",
    "Get(@$a:main:orders:{item}:2:item)",
    "Get(@m:[$b]:stock:{item}:3:item + 1)",
    "Get(@m:main:[@m:main:orders:{item}:1:item]:{item}:2:item)",
    "Put(@m:t:$t:{item+amount}:3)",
    "Put(\"y\", @m:t:$t:{item+amount}:3:item)",
};

const char* const kPaths[] = {"@m:main:orders:{item+amount}:3",
                              "@m:main:orders:{*}:2",
                              "@m:main:[#table]:{item+amount}:2",
                              "@m:t:$t:{item+amount}:3",
                              "@$base:main:orders:{item}:4",
                              "@m:main:copy:{item+amount}:1:amount",
                              "@m:main:$a:{item}:2",
                              "@[#base]:main:stock:{item}:5:item",
                              "@m:main:##0:{item}:2:item",
                              "#table",
                              "\"constant\""};

const char* const kVariables[] = {"#table", "$t", "$base", "$a", "$b", "$c", "#base"};
const char* const kValues[] = {
    "orders", "stock",    "copy",     "##0",  "",       "$a", "$b",   "m",
    "alt",    "[#table]", "orders:x", "item", "nosuch", "$c", "main", "[@m:main:orders:{item}:1:item]"};

const kez::test::AccessFaults::Operation kFailing[] = {
    kez::test::AccessFaults::kCreateDataSource, kez::test::AccessFaults::kOpenSession,
    kez::test::AccessFaults::kOpenRowset,       kez::test::AccessFaults::kQueryInterface,
    kez::test::AccessFaults::kGetNextRows,      kez::test::AccessFaults::kInsertRow,
    kez::test::AccessFaults::kGetColumnsInfo,   kez::test::AccessFaults::kCreateAccessor,
    kez::test::AccessFaults::kGetDataSeq};

// Draws the operations and keeps the walk of the registries made after the
// last one, from which it picks the nodes to work on.
class Driver {
 public:
  explicit Driver(uint32_t seed) : rng_(seed), walk_(WalkRegistries()) {}

  // Runs one operation drawn by weight; returns what it did.
  std::string Step() {
    using R = KezDcQrQResult;
    const struct {
      int weight;
      std::function<std::string()> run;
    } ops[] = {
        {24, [&] { return RunQuery(); }},
        {6, [&] { return NewPath(); }},
        {16, [&] { return OnNode(R::kData, "next line", [](R* data) { data->GetNextLine(); }); }},
        {8, [&] { return OnNode(R::kData, "read data", [&](R* data) { ReadData(data); }); }},
        {6, [&] { return OnNode(R::kCell, "read cell", [](R* cell) { cell->GetCell(); }); }},
        {4, [&] { return PutCell(); }},
        {4, [&] { return OnNode(R::kData, "put data", [](R* data) { data->PutData(); }); }},
        {7, [&] { return OnNode(R::kNone, "free", [](R* node) { node->FreeQResult(); }); }},
        {3, [&] { return OnNode(R::kData, "free rowset", [](R* data) { data->FreeRowsetOfData(); }); }},
        {4, [&] { return OnNode(R::kNone, "delete result", [&](R* node) { DeleteResult(node); }); }},
        {4, [&] { return DeleteQuery(); }},
        {1, [&] { return DeleteAll(); }},
        {8, [&] { return ChangeVariable(); }},
        {4, [&] { return Fail(); }},
        {2, [&] { return FreeEverySource(); }},
    };
    int total = 0;
    for (const auto& op : ops) total += op.weight;
    int draw = static_cast<int>(Pick(static_cast<std::size_t>(total)));
    for (const auto& op : ops) {
      if (draw < op.weight) return op.run();
      draw -= op.weight;
    }
    return "";
  }

  // Walks the registries again; returns the problems found.
  std::vector<std::string> Check() {
    walk_ = WalkRegistries();
    return walk_.problems;
  }

  std::vector<std::string> held_problems;  // layer objects left after a full free

 private:
  std::size_t Pick(std::size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }
  template <std::size_t N>
  const char* PickText(const char* const (&texts)[N]) {
    return texts[Pick(N)];
  }
  // A registered node of the kind (any kind for kNone), or null.
  KezDcQrQResult* PickNode(KezDcQrQResult::Kind kind) {
    std::vector<const KezDcQrQResult*> found;
    for (const KezDcQrQResult* node : walk_.nodes) {
      if (kind == KezDcQrQResult::kNone || node->GetKind() == kind) found.push_back(node);
    }
    if (kind == KezDcQrQResult::kNone) found.insert(found.end(), walk_.expressions.begin(), walk_.expressions.end());
    return found.empty() ? nullptr : const_cast<KezDcQrQResult*>(found[Pick(found.size())]);
  }
  // Runs the operation on a node of the kind, when there is one.
  std::string OnNode(KezDcQrQResult::Kind kind, const std::string& what,
                     const std::function<void(KezDcQrQResult*)>& operation) {
    KezDcQrQResult* node = PickNode(kind);
    if (!node) return what + ": none";
    std::string done = what + " " + OwnKey(node);
    operation(node);
    return done;
  }
  std::string RunQuery() {
    const char* text = PickText(kQueries);
    KezDcQrQuery* query = KezDcQrQuery::NewQuery(text);
    if (Pick(4) != 0) query->DoQuery();
    return std::string("query ") + text;
  }
  std::string NewPath() {
    const char* path = PickText(kPaths);
    KezDcQrQResult::NewQResult(path);
    return std::string("new ") + path;
  }
  std::string PutCell() {
    KezDcQrQResult* from = PickNode(KezDcQrQResult::kCell);
    KezDcQrQResult* to = PickNode(KezDcQrQResult::kCell);
    if (from && to) from->PutCell(to);
    return "put cell";
  }
  std::string DeleteQuery() {
    const char* text = PickText(kQueries);
    KezDcQrQuery::DeleteQuery(text);
    return std::string("delete query ") + text;
  }
  std::string DeleteAll() {
    KezDcQrQuery::DeleteAllQueries();
    ExpectNothingHeld("after DeleteAllQueries");
    return "delete all";
  }
  // Freeing every data source must give back every object of the layer.
  std::string FreeEverySource() {
    for (const KezDcQrQResult* node : walk_.nodes) {
      if (node->GetKind() == KezDcQrQResult::kDataSource) const_cast<KezDcQrQResult*>(node)->FreeQResult();
    }
    ExpectNothingHeld("after freeing every data source");
    return "free every source";
  }
  void DeleteResult(KezDcQrQResult* node) {
    std::string key = OwnKey(node);
    KezDcQrQResult::DeleteQResult((Pick(3) == 0 ? " " + key + " " : key).c_str());
  }
  void ReadData(KezDcQrQResult* data) {
    switch (Pick(4)) {
      case 0:
        data->IsMoreData();
        break;
      case 1:
        data->GetNbRowsObtained();
        break;
      case 2:
        data->InitData();
        break;
      default:
        data->GetData();
    }
  }
  std::string ChangeVariable() {
    const char* name = PickText(kVariables);
    const char* value = PickText(kValues);
    KezDcQrQResult* node = KezDcQrQResult::QRHTab->Locate(name);
    if (node && node->GetKind() == KezDcQrQResult::kVariable && Pick(2) == 0) {
      static_cast<KezDcQrQRVariable*>(node)->Affect(KezUnicodeString(value));
    } else {
      std::string text = std::string("Put(\"") + value + "\", " + name + ")";
      KezDcQrQuery::NewQuery(text.c_str())->DoQuery();
    }
    return std::string("set ") + name + " = " + value;
  }
  std::string Fail() {
    kez::test::AccessFaults::Operation operation = kFailing[Pick(std::size(kFailing))];
    const int codes[] = {1, 2, 3, 7, -1};
    kez::test::AccessFaults::FailAt(operation, codes[Pick(std::size(codes))], static_cast<int>(Pick(4)) + 1);
    if (Pick(8) == 0) kez::test::AccessFaults::ClearFailures();
    return "fail " + std::to_string(operation);
  }
  void ExpectNothingHeld(const std::string& when) {
    if (kez::test::AccessFaults::LiveObjects() != 0 || kez::test::AccessFaults::OutstandingRows() != 0 ||
        kez::test::AccessFaults::LiveAccessors() != 0) {
      held_problems.push_back("layer objects held " + when);
    }
  }

  std::mt19937 rng_;
  RegistryWalk walk_;
};

int FromEnvironment(const char* name, int otherwise) {
  const char* text = std::getenv(name);
  int value = text ? std::atoi(text) : 0;
  return value > 0 ? value : otherwise;
}

// Runs the operations of one seed, checking after each; stops at the first
// problem.
void RunSeed(uint32_t seed, int steps) {
  SCOPED_TRACE("seed " + std::to_string(seed));
  const int misuses = kez::test::AccessFaults::Misuses();
  Driver driver(seed);
  for (int step = 0; step < steps; ++step) {
    std::string done = driver.Step();
    std::vector<std::string> problems = driver.Check();
    ASSERT_TRUE(problems.empty()) << "step " << step << " (" << done << "): " << problems.front();
    ASSERT_TRUE(driver.held_problems.empty())
        << "step " << step << " (" << done << "): " << driver.held_problems.front();
    ASSERT_EQ(kez::test::AccessFaults::Misuses(), misuses) << "step " << step << " (" << done << ") misused the layer";
    KezDcCMError::ClearErrors();  // the reports are not the subject here
  }
  kez::test::AccessFaults::ClearFailures();
  KezDcQrQuery::DeleteAllQueries();
  EXPECT_EQ(kez::test::AccessFaults::LiveObjects() + kez::test::AccessFaults::OutstandingRows() +
                kez::test::AccessFaults::LiveAccessors(),
            0);
  EXPECT_EQ(KezDcQrQResult::QRHTab->Size(), 0);
  EXPECT_EQ(KezDcQrQResult::ExprHTab->Size(), 0);
  EXPECT_EQ(kez::test::AccessFaults::Misuses(), misuses);
}

class RandomSequenceTest : public E2eTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(RandomSequenceTest, RegistriesHoldTogetherAndNothingLeaks) {
  RunSeed(GetParam(), FromEnvironment("KEZDCQR_RANDOM_STEPS", 1500));
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomSequenceTest, ::testing::Values(1u, 7u, 42u, 2024u, 31337u));

// KEZDCQR_RANDOM_SEEDS=n runs the seeds 1000 to 1000 + n - 1 as well.
TEST_F(E2eTest, RandomSequencesOfMoreSeeds) {
  const int seeds = FromEnvironment("KEZDCQR_RANDOM_SEEDS", 0);
  if (seeds == 0) GTEST_SKIP() << "set KEZDCQR_RANDOM_SEEDS=N to run N more seeds";
  for (int k = 0; k < seeds && !HasFatalFailure(); ++k) {
    RunSeed(1000u + static_cast<uint32_t>(k), FromEnvironment("KEZDCQR_RANDOM_STEPS", 1500));
  }
}

}  // namespace
}  // namespace test
}  // namespace kez
