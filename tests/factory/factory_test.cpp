// The factory: lookups before creation, ancestors created from the data
// source down, sub-query expressions registered as they are met, refusals
// for accessor and data-block sub-queries, and the types it knows.
#include <string>
#include <vector>

#include "support/KezTestSupport.h"
#include "support/TraceCapture.h"

namespace {

using kez::test::CountError;
using kez::test::Errors;
using kez::test::TraceCapture;
using Strings = std::vector<std::string>;

class FactoryTest : public kez::test::KezTest {
 protected:
  static KezDcQrQResult* NewQR(const char* ds, const char* s, const char* r, const char* a, const char* d,
                               const char* c, const char* type) {
    KezUnicodeString t = type;
    return KezDcQrQResult::NewQR(ds, s, r, a, d, c, t);
  }
  static KezDcQrQResult* Registered(const char* key) { return KezDcQrQResult::QRHTab->Locate(key); }
  static KezDcQrQResult* Expression(const char* text) { return KezDcQrQResult::ExprHTab->Locate(text); }

  // The keys registered while f runs, in order ("QR:" or "Expr:" before
  // each key), read from the query results' trace.
  template <class F>
  static Strings Registrations(F f) {
    TraceCapture capture(&KezDcQrQResult::sp_Trace, 4);
    f();
    capture.Stop();
    Strings keys;
    for (const std::string& line : capture.LinesStartingWith("Insert in ")) {
      std::size_t open = line.find('<');
      std::size_t close = line.rfind('>');
      std::string prefix = line.compare(0, 14, "Insert in QRHT") == 0 ? "QR:" : "Expr:";
      keys.push_back(prefix + line.substr(open + 1, close - open - 1));
    }
    return keys;
  }
};

TEST_F(FactoryTest, CellOnEmptyRegistriesCreatesAncestorsTopDown) {
  Strings keys = {"@sales"};
  for (const char* part : {"main", "orders", "amount", "20", "amount"}) keys.push_back(keys.back() + ":" + part);
  KezDcQrQResult* cell = nullptr;
  Strings order = Registrations([&] { cell = KezDcQrQResult::NewQResult(keys[5].c_str()); });
  Strings expected;
  for (const std::string& key : keys) expected.push_back("QR:" + key);
  EXPECT_EQ(order, expected);
  EXPECT_EQ(cell, Registered(keys[5].c_str()));
  const char* const types[] = {"DataSource", "Session", "Rowset", "Accessor", "Data", "Cell"};
  for (int k = 0; k < 6; ++k) {
    KezDcQrQResult* node = Registered(keys[k].c_str());
    ASSERT_NE(node, nullptr) << keys[k];
    EXPECT_EQ(node->Type, types[k]);
    EXPECT_EQ(node->BasicType, k < 5 ? "int" : "string");
    EXPECT_EQ(node->SubQueryFlag, 'N');
    EXPECT_EQ(node->SubQueryFather, nullptr);
  }
  EXPECT_TRUE(Errors().empty());
}

TEST_F(FactoryTest, RegisteredNodesAreReturnedAndOnlyMissingOnesCreated) {
  KezDcQrQResult* first = KezDcQrQResult::NewQResult("@sales:main:orders:amount:20");
  KezDcQrQResult* again = nullptr;
  EXPECT_TRUE(Registrations([&] { again = KezDcQrQResult::NewQResult("@sales : main:orders:amount:20"); }).empty());
  EXPECT_EQ(again, first);
  EXPECT_EQ(Registrations([] { NewQR("@sales", "main", "orders", "amount", "20", "price", "Cell"); }),
            Strings{"QR:@sales:main:orders:amount:20:price"});
  EXPECT_EQ(Registrations([] { NewQR("@sales", "other", "", "", "", "", "Session"); }), Strings{"QR:@sales:other"});
  // Whatever the type asked, the registered node comes back.
  KezUnicodeString type = "Variable";
  EXPECT_EQ(KezDcQrQResult::NewQR("@sales", "12", "", "", "", "", type), Registered("@sales"));
  EXPECT_EQ(type, "Variable");
  EXPECT_EQ(Registered("@sales")->Type, "DataSource");
}

TEST_F(FactoryTest, SubQueryComponentsRegisterTheirExpressionsAsTheyAreMet) {
  KezDcQrQResult* cell = nullptr;
  Strings order = Registrations([&] { cell = KezDcQrQResult::NewQResult("@sales:main:[#table]:amount:20:amount"); });
  EXPECT_EQ(order, (Strings{"QR:@sales", "QR:@sales:main", "QR:@sales:main:[#table]", "Expr:#table", "QR:#table",
                            "QR:@sales:main:[#table]:amount", "QR:@sales:main:[#table]:amount:20",
                            "QR:@sales:main:[#table]:amount:20:amount"}));
  ASSERT_NE(Expression("#table"), nullptr);
  EXPECT_EQ(Registered("#table")->Type, "Variable");
  EXPECT_EQ(Registered("@sales:main:[#table]")->SubQueryFlag, 'Y');
  EXPECT_EQ(cell->SubQueryFlag, 'Y');
  EXPECT_EQ(Registered("@sales:main")->SubQueryFlag, 'N');
  // At the data source the expression is the text after the marker.
  NewQR("@$base", "", "", "", "", "", "DataSource");
  EXPECT_NE(Registered("@$base"), nullptr);
  EXPECT_NE(Expression("$base"), nullptr);
  NewQR("@[#base]", "", "", "", "", "", "DataSource");
  EXPECT_NE(Registered("@[#base]"), nullptr);
  EXPECT_NE(Expression("#base"), nullptr);
  NewQR("@sales", "$sess", "", "", "", "", "Session");
  EXPECT_NE(Expression("$sess"), nullptr);
  NewQR("@sales", "main", "orders", "amount", "1", "[$col]", "Cell");
  EXPECT_NE(Expression("$col"), nullptr);  // bracket and marker: one expression
  EXPECT_TRUE(Errors().empty());
}

TEST_F(FactoryTest, AccessorAndDataBlockSubQueriesAreRefused) {
  KezDcQrQResult* accessor = NewQR("@sales", "main", "orders", "$cols", "", "", "Accessor");
  EXPECT_NE(accessor, nullptr);
  EXPECT_EQ(accessor, Registered("@sales:main:orders:$cols"));
  EXPECT_EQ(CountError("ERROR: NO ACCESSOR SUB-QUERY <$cols> FOR DATAPATH\n"), 1);
  EXPECT_EQ(Expression("$cols"), nullptr);

  KezDcCMError::ClearErrors();
  KezDcQrQResult* data = NewQR("@sales", "main", "orders", "amount", "[#n]", "", "Data");
  EXPECT_NE(data, nullptr);
  EXPECT_EQ(CountError("ERROR: NO DATABLOCK SUB-QUERY <[#n]> FOR DATAPATH\n"), 1);
  EXPECT_EQ(Expression("#n"), nullptr);
}

TEST_F(FactoryTest, UnknownTypesYieldNullAndCreateNothing) {
  for (const char* type : {"", "Exp_Cell", "cell", "Query", "Exp_Data"}) {
    Strings order =
        Registrations([&] { EXPECT_EQ(NewQR("@sales", "main", "o", "a", "1", "c", type), nullptr) << type; });
    EXPECT_TRUE(order.empty()) << type;
  }
  EXPECT_EQ(KezDcQrQResult::NewQResult("sales:main"), nullptr);
  EXPECT_EQ(KezDcQrQResult::NewQResult(""), nullptr);
  EXPECT_EQ(KezDcQrQResult::QRHTab->Size(), 0);
  EXPECT_EQ(KezDcQrQResult::ExprHTab->Size(), 0);
}

TEST_F(FactoryTest, VariablesFollowTheSessionComponentAndConstantsKeepTheirQuotes) {
  auto* by_int = static_cast<KezDcQrQRVariable*>(KezDcQrQResult::NewQResult("#rate"));
  ASSERT_NE(by_int, nullptr);
  EXPECT_EQ(by_int->BasicType, "int");
  EXPECT_EQ(by_int->IntValue, 0);
  auto* by_text = static_cast<KezDcQrQRVariable*>(NewQR("#count", "12", "", "", "", "", "Variable"));
  ASSERT_NE(by_text, nullptr);
  EXPECT_EQ(by_text->BasicType, "string");
  EXPECT_EQ(by_text->StringValue, "12");
  EXPECT_EQ(Registered("#count"), by_text);
  KezDcQrQResult* constant = KezDcQrQResult::NewQResult("\"north\"");
  ASSERT_NE(constant, nullptr);
  EXPECT_EQ(constant->Type, "Constant");
  EXPECT_EQ(Registered("\"north\""), constant);
}

TEST_F(FactoryTest, ExpressionTypeIsHandedBackOnlyByANewExpression) {
  KezDcQrQResult* e = nullptr;
  auto handed = [&](const char* text) {
    KezUnicodeString type = "Expression";
    e = KezDcQrQResult::NewQR(text, "", "", "", "", "", type);
    return type.Std();
  };
  EXPECT_EQ(handed("@sales:main:orders:amount:20"), "Exp_Data");
  KezDcQrQResult* first = e;
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(Expression("@sales:main:orders:amount:20"), first);
  EXPECT_EQ(Registered("@sales:main:orders:amount:20")->Type, "Data");
  EXPECT_EQ(handed("@sales:main:orders:amount:20"), "Expression");
  EXPECT_EQ(e, first);
  EXPECT_EQ(handed("1 + $x"), "Expression");
  EXPECT_EQ(handed("42"), "Exp_Constant");
}

}  // namespace
