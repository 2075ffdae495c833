// The charts of the summary window, made from the counted list: the rows per
// verdict (a pie), per reason (bars in the colour of each reason's verdict),
// the ten domains with the most addresses (bars split by verdict), and what
// the addresses tell (bars per flag and per mail provider). Each chart is a
// new QChart that the caller's chart view takes over.
#pragma once

#include "project/summary/list_summary.h"

class QChart;

namespace mv::ui {

QChart* MakeVerdictChart(const ListSummary& summary);
QChart* MakeReasonChart(const ListSummary& summary);
QChart* MakeDomainChart(const ListSummary& summary);
QChart* MakeFlagChart(const ListSummary& summary);

}  // namespace mv::ui
