// The statistics entries of one precision, for tests typed over double and float.
#pragma once

#include "vexa/statistics.h"

namespace vexa::test {

template <class T> struct SSApi;
template <> struct SSApi<double> {
    static constexpr auto new_task = __tqrdSSNewTask;
    static constexpr auto edit = __tqrdSSEditTask;
    static constexpr auto basic = _tqrdSSBasic;
    static constexpr auto quantiles = _tqrdSSQuantiles;
    static constexpr auto minmax = _tqrdSSMinmax;
    static constexpr auto sorting = _tqrdSSSort;
    static constexpr auto mad = _tqrdSSMAD;
    static constexpr auto wmedian = _tqrdSSWMedian;
    static constexpr auto stream = _tqrdSSStreamQuantiles;
    static constexpr auto select = __tqrdQSortSelect;
    static constexpr auto sort = __tqrdQSort;
    static constexpr auto step = __tqrdQSortStep;
};
template <> struct SSApi<float> {
    static constexpr auto new_task = __tqrsSSNewTask;
    static constexpr auto edit = __tqrsSSEditTask;
    static constexpr auto basic = _tqrsSSBasic;
    static constexpr auto quantiles = _tqrsSSQuantiles;
    static constexpr auto minmax = _tqrsSSMinmax;
    static constexpr auto sorting = _tqrsSSSort;
    static constexpr auto mad = _tqrsSSMAD;
    static constexpr auto wmedian = _tqrsSSWMedian;
    static constexpr auto stream = _tqrsSSStreamQuantiles;
    static constexpr auto select = __tqrsQSortSelect;
    static constexpr auto sort = __tqrsQSort;
    static constexpr auto step = __tqrsQSortStep;
};

}  // namespace vexa::test
