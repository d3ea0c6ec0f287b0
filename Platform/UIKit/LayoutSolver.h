// LayoutSolver: the linear solver behind Auto Layout. It finds values for variables that satisfy a
// set of linear equalities and inequalities, each with a priority from 1 to 1000:
//
//   - required constraints (priority 1000) always hold; one that cannot hold together with those
//     added before it is refused (addConstraint answers false and the solver is left as it was);
//   - optional constraints may be broken; the solver minimises how far they are broken, one
//     priority level at a time: no amount of breaking at a lower priority buys the smallest
//     improvement at a higher one (the objective is lexicographic, not a weighted sum), and within
//     one level the sum of the errors is minimised.
//
// The method is the incremental dual-free simplex of the Cassowary family: every constraint becomes
// a row of a tableau in solved form, with slack variables for inequalities, error variables for
// optional constraints and dummy markers for required equalities; a constraint that has no
// subject at once is added through an artificial variable. The objective's coefficients are
// vectors over the priority levels, compared lexicographically.
//
// Values of variables that no constraint pins down are 0; callers that want them kept add weak
// "stay" equalities. Edit variables and removing constraints are not supported: a caller builds
// a fresh solver when its constraints change.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace uikit_detail {

class LayoutSolver {
public:
    using Variable = uint32_t;

    struct Term {
        Variable variable;
        double coefficient;
    };

    // constant + sum of coefficient * variable.
    struct Expression {
        std::vector<Term> terms;
        double constant = 0;

        Expression() = default;
        explicit Expression(double value) : constant(value) {}
        static Expression of(Variable v, double coefficient = 1) {
            Expression e;
            e.terms.push_back({v, coefficient});
            return e;
        }
        Expression& add(const Expression& other, double factor = 1);
        Expression& add(double value) {
            constant += value;
            return *this;
        }
    };

    enum class Relation { LessOrEqual, Equal, GreaterOrEqual };

    static constexpr double kRequired = 1000;

    Variable addVariable();
    size_t variableCount() const noexcept { return variables_.size(); }

    // Adds `expression relation 0` with a priority (kRequired or less; above 0). A required
    // constraint that conflicts with the required constraints already added is not added and
    // answers false; the solver keeps its previous state.
    bool addConstraint(const Expression& expression, Relation relation = Relation::Equal, double priority = kRequired);

    // The value of a variable in the current solution.
    double value(Variable v) const;

    // How many simplex pivots the solver has made (for tests and measurements).
    uint64_t pivotCount() const noexcept { return pivots_; }

private:
    using Symbol = uint32_t; // 0 is "no symbol"
    enum class Kind : uint8_t { Invalid, External, Slack, Error, Dummy };

    struct Row {
        double constant = 0;
        std::map<Symbol, double> cells;

        void insert(Symbol s, double coefficient);
        void insert(const Row& other, double coefficient);
        double coefficientFor(Symbol s) const;
        void reverseSign();
        // Turns "0 = row" into "s = row'".
        void solveFor(Symbol s);
        // Turns "lhs = row" into "rhs = row'".
        void solveFor(Symbol lhs, Symbol rhs);
        bool substitute(Symbol s, const Row& row);
    };

    // A coefficient of the objective: one number per priority level, highest first.
    struct Weight {
        std::vector<std::pair<double, double>> parts; // (priority, coefficient), priority descending

        void add(double priority, double coefficient);
        void add(const Weight& other, double factor);
        bool isZero() const;
        bool isNegative() const;
    };

    struct Objective {
        std::map<Symbol, Weight> cells;
        void insert(Symbol s, double priority, double coefficient);
        void substitute(Symbol s, const Row& row);
    };

    struct Tag {
        Symbol marker = 0;
        Symbol other = 0;
    };

    Symbol newSymbol(Kind kind);
    Row createRow(const Expression& expression, Relation relation, double priority, Tag& tag);
    Symbol chooseSubject(const Row& row, const Tag& tag) const;
    bool allDummies(const Row& row) const;
    bool addWithArtificialVariable(const Row& row);
    void substitute(Symbol s, const Row& row);
    void optimizeObjective();
    void optimizeArtificial();
    void pivot(Symbol entering);
    Symbol anyPivotableSymbol(const Row& row) const;

    std::vector<Kind> kinds_{Kind::Invalid};
    std::vector<Symbol> variables_; // variable -> its symbol
    std::map<Symbol, Row> rows_;
    Objective objective_;
    Row* artificial_ = nullptr;
    uint64_t pivots_ = 0;
};

} // namespace uikit_detail
