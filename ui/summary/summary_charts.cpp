#include "summary/summary_charts.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QHorizontalStackedBarSeries>
#include <QPieSeries>
#include <QPieSlice>
#include <QValueAxis>
#include <algorithm>
#include <array>
#include <cstdint>

namespace mv::ui {

namespace {

// The artwork's palette: the colour of each verdict as its icon has it.
QColor VerdictColor(Verdict verdict) {
    switch (verdict) {
        case Verdict::kDeliverable:
            return QColor(0x2f, 0x9a, 0x4e);
        case Verdict::kRisky:
            return QColor(0xe9, 0xa3, 0x1b);
        case Verdict::kUndeliverable:
            return QColor(0xd3, 0x3b, 0x3b);
        case Verdict::kUnknown:
            break;
    }
    return QColor(0x7d, 0x87, 0x94);
}
// Rows without a verdict of their own: not checked, reason not kept.
const QColor kNeutral(0xc3, 0xc9, 0xd1);

QString Name(std::string_view name) {
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

QChart* NewChart(const QString& title) {
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->setAnimationOptions(QChart::NoAnimation);  // pictures are saved at once
    chart->legend()->setAlignment(Qt::AlignBottom);
    return chart;
}

QBarSet* NewSet(const QString& label, const QColor& color) {
    auto* set = new QBarSet(label);
    set->setColor(color);
    set->setBorderColor(color.darker(130));
    return set;
}

// The step between the count axis's ticks: a whole 1, 2 or 5 times a power
// of ten, so that at most ten steps reach `largest`.
int TickStep(int largest) {
    for (int64_t power = 1;; power *= 10) {
        for (int64_t factor : {1, 2, 5}) {
            const int64_t step = factor * power;
            if (largest <= step * 10) return static_cast<int>(step);
        }
    }
}

// Categories on the left, counts below: whole numbers only.
void AddAxes(QChart* chart, QHorizontalStackedBarSeries* series, const QStringList& categories,
             int largest) {
    chart->addSeries(series);
    auto* names = new QBarCategoryAxis;
    names->append(categories);
    chart->addAxis(names, Qt::AlignLeft);
    series->attachAxis(names);
    auto* counts = new QValueAxis;
    const int step = TickStep(std::max(largest, 1));
    const int64_t steps = (std::max(largest, 1) + int64_t{step} - 1) / step;
    counts->setRange(0, static_cast<qreal>(steps * step));
    counts->setTickType(QValueAxis::TicksDynamic);
    counts->setTickAnchor(0);
    counts->setTickInterval(step);
    counts->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(counts, Qt::AlignBottom);
    series->attachAxis(counts);
}

}  // namespace

QChart* MakeVerdictChart(const ListSummary& summary) {
    QChart* chart = NewChart(QStringLiteral("Addresses by verdict"));
    auto* pie = new QPieSeries;
    const auto add = [pie](const QString& label, int count, const QColor& color) {
        if (count == 0) return;
        QPieSlice* slice = pie->append(QStringLiteral("%1: %2").arg(label).arg(count), count);
        slice->setColor(color);
        slice->setBorderColor(Qt::white);
        slice->setLabelVisible(true);
    };
    for (Verdict v : kVerdictsShown)
        add(Name(VerdictName(v)), summary.rows.Of(v), VerdictColor(v));
    add(QString::fromLatin1(kNotCheckedName), summary.rows.notChecked, kNeutral);
    chart->addSeries(pie);
    chart->legend()->setVisible(false);  // each slice carries its label
    return chart;
}

QChart* MakeReasonChart(const ListSummary& summary) {
    QChart* chart = NewChart(QStringLiteral("Addresses by reason"));
    // One set per verdict, so that each reason's bar has its verdict's colour.
    std::array<QBarSet*, 4> sets{};
    for (size_t i = 0; i < sets.size(); ++i)
        sets[i] = NewSet(Name(VerdictName(kVerdictsShown[i])), VerdictColor(kVerdictsShown[i]));
    QBarSet* notKept = NewSet(QString::fromLatin1(kReasonNotKeptName), kNeutral);
    QStringList categories;
    int largest = 0;
    // The bars run from the bottom up: the reasons are added in reverse, so
    // that the first reason stands at the top.
    for (size_t r = kReasonCount; r-- > 0;) {
        const auto reason = static_cast<Reason>(r);
        const int count = summary.ReasonCount(reason);
        if (count == 0) continue;
        categories << Name(ReasonName(reason));
        for (size_t i = 0; i < sets.size(); ++i)
            *sets[i] << (VerdictOfReason(reason) == kVerdictsShown[i] ? count : 0);
        *notKept << 0;
        largest = std::max(largest, count);
    }
    if (summary.reasonNotKept > 0) {
        categories.prepend(QString::fromLatin1(kReasonNotKeptName));
        for (QBarSet* set : sets)
            set->insert(0, 0);
        notKept->insert(0, summary.reasonNotKept);
        largest = std::max(largest, summary.reasonNotKept);
    }
    auto* series = new QHorizontalStackedBarSeries;
    for (QBarSet* set : sets)
        series->append(set);
    series->append(notKept);
    AddAxes(chart, series, categories, largest);
    return chart;
}

QChart* MakeDomainChart(const ListSummary& summary) {
    QChart* chart = NewChart(QStringLiteral("The domains with the most addresses"));
    std::array<QBarSet*, 4> sets{};
    for (size_t i = 0; i < sets.size(); ++i)
        sets[i] = NewSet(Name(VerdictName(kVerdictsShown[i])), VerdictColor(kVerdictsShown[i]));
    QBarSet* notChecked = NewSet(QString::fromLatin1(kNotCheckedName), kNeutral);
    QStringList categories;
    int largest = 0;
    for (auto d = summary.topDomains.rbegin(); d != summary.topDomains.rend(); ++d) {
        categories << (d->domain.empty() ? QString::fromLatin1(kNoDomainName) : Name(d->domain));
        for (size_t i = 0; i < sets.size(); ++i)
            *sets[i] << d->counts.Of(kVerdictsShown[i]);
        *notChecked << d->counts.notChecked;
        largest = std::max(largest, d->counts.Total());
    }
    auto* series = new QHorizontalStackedBarSeries;
    for (QBarSet* set : sets)
        series->append(set);
    series->append(notChecked);
    AddAxes(chart, series, categories, largest);
    return chart;
}

QChart* MakeFlagChart(const ListSummary& summary) {
    QChart* chart = NewChart(QStringLiteral("Flags and mail providers"));
    // One set each, so that flags and providers have colours of their own.
    QBarSet* flags = NewSet(QStringLiteral("flags"), QColor(0x8e, 0x5e, 0xa2));
    QBarSet* providers = NewSet(QStringLiteral("mail providers"), QColor(0x3a, 0x7c, 0xa5));
    QStringList categories;
    int largest = 0;
    const auto add = [&](const QString& name, int flagCount, int providerCount) {
        categories.prepend(name);  // the bars run from the bottom up
        flags->insert(0, flagCount);
        providers->insert(0, providerCount);
        largest = std::max({largest, flagCount, providerCount});
    };
    for (AddressFlag flag : kAddressFlags)
        add(Name(AddressFlagName(flag)), static_cast<int>(summary.flags.Of(flag)), 0);
    add(QString::fromLatin1(kSuggestionName), static_cast<int>(summary.flags.Suggestions()), 0);
    for (const auto& [provider, count] : summary.providers)
        add(Name(provider), 0, count);
    auto* series = new QHorizontalStackedBarSeries;
    series->append(flags);
    series->append(providers);
    AddAxes(chart, series, categories, largest);
    return chart;
}

}  // namespace mv::ui
