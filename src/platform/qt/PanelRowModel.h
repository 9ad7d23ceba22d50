#pragma once
#include <QAbstractListModel>
#include <cstdint>

namespace tavrel::qt {

// The rows' count, nothing more: the delegate asks the data source for each row's contents.
class PanelRowModel final : public QAbstractListModel {
    Q_OBJECT
  public:
    using QAbstractListModel::QAbstractListModel;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    void reset(std::int64_t rows);

  private:
    int rows_ = 0;
};

}  // namespace tavrel::qt
