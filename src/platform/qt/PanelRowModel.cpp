#include "platform/qt/PanelRowModel.h"

#include <algorithm>
#include <limits>

namespace tavrel::qt {

int PanelRowModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

QVariant PanelRowModel::data(const QModelIndex&, int) const {
    return {};
}

void PanelRowModel::reset(std::int64_t rows) {
    beginResetModel();
    rows_ = static_cast<int>(std::clamp<std::int64_t>(rows, 0, std::numeric_limits<int>::max()));
    endResetModel();
}

}  // namespace tavrel::qt
