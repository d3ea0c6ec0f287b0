#include <Foundation/NSString.h>
#include <UIKit/LayoutSolver.h>

#include <cmath>
#include <limits>

namespace uikit_detail {

namespace {

constexpr double kEpsilon = 1.0e-8;

bool nearZero(double value) {
    return std::fabs(value) < kEpsilon;
}

} // namespace

// MARK: - Expression

LayoutSolver::Expression& LayoutSolver::Expression::add(const Expression& other, double factor) {
    for (const auto& t : other.terms) {
        terms.push_back({t.variable, t.coefficient * factor});
    }
    constant += other.constant * factor;
    return *this;
}

// MARK: - Row

void LayoutSolver::Row::insert(Symbol s, double coefficient) {
    auto [it, added] = cells.try_emplace(s, coefficient);
    if (!added) {
        it->second += coefficient;
    }
    if (nearZero(it->second)) {
        cells.erase(it);
    }
}

void LayoutSolver::Row::insert(const Row& other, double coefficient) {
    constant += other.constant * coefficient;
    for (const auto& [s, c] : other.cells) {
        insert(s, c * coefficient);
    }
}

double LayoutSolver::Row::coefficientFor(Symbol s) const {
    auto it = cells.find(s);
    return it == cells.end() ? 0 : it->second;
}

void LayoutSolver::Row::reverseSign() {
    constant = -constant;
    for (auto& [s, c] : cells) {
        c = -c;
    }
}

void LayoutSolver::Row::solveFor(Symbol s) {
    auto it = cells.find(s);
    double coefficient = -1.0 / it->second;
    cells.erase(it);
    constant *= coefficient;
    for (auto& [other, c] : cells) {
        c *= coefficient;
    }
}

void LayoutSolver::Row::solveFor(Symbol lhs, Symbol rhs) {
    insert(lhs, -1.0);
    solveFor(rhs);
}

bool LayoutSolver::Row::substitute(Symbol s, const Row& row) {
    auto it = cells.find(s);
    if (it == cells.end()) {
        return false;
    }
    double coefficient = it->second;
    cells.erase(it);
    insert(row, coefficient);
    return true;
}

// MARK: - Weight and objective

void LayoutSolver::Weight::add(double priority, double coefficient) {
    auto it = parts.begin();
    while (it != parts.end() && it->first > priority) {
        ++it;
    }
    if (it != parts.end() && it->first == priority) {
        it->second += coefficient;
        if (nearZero(it->second)) {
            parts.erase(it);
        }
    } else if (!nearZero(coefficient)) {
        parts.insert(it, {priority, coefficient});
    }
}

void LayoutSolver::Weight::add(const Weight& other, double factor) {
    for (const auto& [priority, c] : other.parts) {
        add(priority, c * factor);
    }
}

bool LayoutSolver::Weight::isZero() const {
    return parts.empty();
}

bool LayoutSolver::Weight::isNegative() const {
    for (const auto& [priority, c] : parts) {
        if (!nearZero(c)) {
            return c < 0;
        }
    }
    return false;
}

void LayoutSolver::Objective::insert(Symbol s, double priority, double coefficient) {
    auto& w = cells[s];
    w.add(priority, coefficient);
    if (w.isZero()) {
        cells.erase(s);
    }
}

void LayoutSolver::Objective::substitute(Symbol s, const Row& row) {
    auto it = cells.find(s);
    if (it == cells.end()) {
        return;
    }
    Weight w = std::move(it->second);
    cells.erase(it);
    for (const auto& [other, c] : row.cells) {
        auto& target = cells[other];
        target.add(w, c);
        if (target.isZero()) {
            cells.erase(other);
        }
    }
}

// MARK: - Solver

LayoutSolver::Symbol LayoutSolver::newSymbol(Kind kind) {
    kinds_.push_back(kind);
    return static_cast<Symbol>(kinds_.size() - 1);
}

LayoutSolver::Variable LayoutSolver::addVariable() {
    variables_.push_back(newSymbol(Kind::External));
    return static_cast<Variable>(variables_.size() - 1);
}

double LayoutSolver::value(Variable v) const {
    if (v >= variables_.size()) {
        return 0;
    }
    auto it = rows_.find(variables_[v]);
    return it == rows_.end() ? 0 : it->second.constant;
}

LayoutSolver::Row LayoutSolver::createRow(const Expression& expression, Relation relation, double priority, Tag& tag) {
    Row row;
    row.constant = expression.constant;
    for (const auto& term : expression.terms) {
        if (nearZero(term.coefficient) || term.variable >= variables_.size()) {
            continue;
        }
        Symbol s = variables_[term.variable];
        if (auto it = rows_.find(s); it != rows_.end()) {
            row.insert(it->second, term.coefficient);
        } else {
            row.insert(s, term.coefficient);
        }
    }
    bool required = priority >= kRequired;
    if (relation != Relation::Equal) {
        double coefficient = relation == Relation::LessOrEqual ? 1.0 : -1.0;
        Symbol slack = newSymbol(Kind::Slack);
        tag.marker = slack;
        row.insert(slack, coefficient);
        if (!required) {
            Symbol error = newSymbol(Kind::Error);
            tag.other = error;
            row.insert(error, -coefficient);
            objective_.insert(error, priority, 1.0);
        }
    } else if (!required) {
        Symbol plus = newSymbol(Kind::Error);
        Symbol minus = newSymbol(Kind::Error);
        tag.marker = plus;
        tag.other = minus;
        row.insert(plus, -1.0);
        row.insert(minus, 1.0);
        objective_.insert(plus, priority, 1.0);
        objective_.insert(minus, priority, 1.0);
    } else {
        Symbol dummy = newSymbol(Kind::Dummy);
        tag.marker = dummy;
        row.insert(dummy, 1.0);
    }
    if (row.constant < 0) {
        row.reverseSign();
    }
    return row;
}

LayoutSolver::Symbol LayoutSolver::chooseSubject(const Row& row, const Tag& tag) const {
    for (const auto& [s, c] : row.cells) {
        if (kinds_[s] == Kind::External) {
            return s;
        }
    }
    for (Symbol s : {tag.marker, tag.other}) {
        if (s && (kinds_[s] == Kind::Slack || kinds_[s] == Kind::Error) && row.coefficientFor(s) < 0) {
            return s;
        }
    }
    return 0;
}

bool LayoutSolver::allDummies(const Row& row) const {
    for (const auto& [s, c] : row.cells) {
        if (kinds_[s] != Kind::Dummy) {
            return false;
        }
    }
    return true;
}

LayoutSolver::Symbol LayoutSolver::anyPivotableSymbol(const Row& row) const {
    for (const auto& [s, c] : row.cells) {
        if (kinds_[s] == Kind::Slack || kinds_[s] == Kind::Error) {
            return s;
        }
    }
    return 0;
}

bool LayoutSolver::addConstraint(const Expression& expression, Relation relation, double priority) {
    if (!(priority > 0)) {
        return false;
    }
    priority = std::min(priority, kRequired);
    Tag tag;
    Row row = createRow(expression, relation, priority, tag);
    Symbol subject = chooseSubject(row, tag);
    if (!subject && allDummies(row)) {
        if (!nearZero(row.constant)) {
            return false; // a required constraint that contradicts the others outright
        }
        subject = tag.marker;
    }
    if (!subject) {
        // Only a required constraint can fail here; keep what is needed to undo it.
        bool required = priority >= kRequired;
        std::map<Symbol, Row> savedRows;
        Objective savedObjective;
        if (required) {
            savedRows = rows_;
            savedObjective = objective_;
        }
        if (!addWithArtificialVariable(row)) {
            if (required) {
                rows_ = std::move(savedRows);
                objective_ = std::move(savedObjective);
            }
            return false;
        }
    } else {
        row.solveFor(subject);
        substitute(subject, row);
        rows_[subject] = std::move(row);
    }
    optimizeObjective();
    return true;
}

bool LayoutSolver::addWithArtificialVariable(const Row& row) {
    Symbol art = newSymbol(Kind::Slack);
    rows_[art] = row;
    Row artificial = row;
    artificial_ = &artificial;
    optimizeArtificial();
    artificial_ = nullptr;
    bool success = nearZero(artificial.constant);
    if (auto it = rows_.find(art); it != rows_.end()) {
        Row r = std::move(it->second);
        rows_.erase(it);
        if (r.cells.empty()) {
            return success;
        }
        Symbol entering = anyPivotableSymbol(r);
        if (!entering) {
            return false;
        }
        r.solveFor(art, entering);
        substitute(entering, r);
        rows_[entering] = std::move(r);
    }
    for (auto& [s, r] : rows_) {
        r.cells.erase(art);
    }
    objective_.cells.erase(art);
    return success;
}

void LayoutSolver::substitute(Symbol s, const Row& row) {
    for (auto& [basic, r] : rows_) {
        r.substitute(s, row);
    }
    objective_.substitute(s, row);
    if (artificial_) {
        artificial_->substitute(s, row);
    }
}

void LayoutSolver::pivot(Symbol entering) {
    // The leaving row: the restricted row that first hits zero as the entering symbol grows.
    double ratio = std::numeric_limits<double>::max();
    Symbol leaving = 0;
    for (const auto& [s, r] : rows_) {
        if (kinds_[s] == Kind::External) {
            continue;
        }
        double c = r.coefficientFor(entering);
        if (c < 0) {
            double candidate = -r.constant / c;
            if (candidate < ratio) {
                ratio = candidate;
                leaving = s;
            }
        }
    }
    if (!leaving) {
        NSException::raise(NSInternalInconsistencyException, "layout solver: the objective is unbounded");
    }
    Row row = std::move(rows_[leaving]);
    rows_.erase(leaving);
    row.solveFor(leaving, entering);
    substitute(entering, row);
    rows_[entering] = std::move(row);
    ++pivots_;
}

void LayoutSolver::optimizeObjective() {
    // A safety net against cycling on degenerate tableaux: far more pivots than any layout needs.
    for (size_t guard = 0; guard < 100000; ++guard) {
        Symbol entering = 0;
        for (const auto& [s, w] : objective_.cells) {
            if (kinds_[s] != Kind::Dummy && w.isNegative()) {
                entering = s;
                break;
            }
        }
        if (!entering) {
            return;
        }
        pivot(entering);
    }
    NSException::raise(NSInternalInconsistencyException, "layout solver: no optimum found");
}

void LayoutSolver::optimizeArtificial() {
    for (size_t guard = 0; guard < 100000; ++guard) {
        Symbol entering = 0;
        for (const auto& [s, c] : artificial_->cells) {
            if (kinds_[s] != Kind::Dummy && c < 0 && !nearZero(c)) {
                entering = s;
                break;
            }
        }
        if (!entering) {
            return;
        }
        pivot(entering);
    }
    NSException::raise(NSInternalInconsistencyException, "layout solver: no feasible start found");
}

} // namespace uikit_detail
