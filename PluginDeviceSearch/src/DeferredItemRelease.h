#pragma once

#include <QObject>
#include <QTimer>

#include <vector>

class QStandardItem;
class QStandardItemModel;

// Empties a model as QStandardItemModel::clear() does, in the one reset that clear()
// tells the views of, but frees the rows it held afterwards, a slice per turn of the
// event loop. Freeing a large site at once holds the GUI thread for longer than a
// frame: at 100,000 cameras over 100 ms, nearly all of it cache misses on items spread
// over the heap. Rows waiting to be freed belong to no model; nothing can reach them.
class DeferredItemRelease : public QObject
{
    Q_OBJECT

public:
    explicit DeferredItemRelease(QObject* parent = nullptr);
    ~DeferredItemRelease() override;

    void clear(QStandardItemModel* model);

    // Items taken out and not yet freed.
    qsizetype pending() const { return qsizetype(m_items.size()); }
    void releaseAll();

private:
    void releaseSlice();

    std::vector<QStandardItem*> m_items;
    QTimer m_nextSlice;
};
