#pragma once

#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>
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

    using Keep = std::function<bool(const QStandardItem&)>;

    // Whether clear() takes the model's rows out and can keep some of them: a model of
    // one column whose signals are not blocked, so that its reset is announced.
    static bool takesRows(const QStandardItemModel* model);

    // Empties the model in one reset. When it takesRows(), the items that keep accepts
    // leave it instead of being freed and are returned, in model order, now the
    // caller's; otherwise nothing is kept and the model is cleared at once.
    QList<QStandardItem*> clear(QStandardItemModel* model, const Keep& keep = nullptr);

    // Items taken out and not yet freed.
    qsizetype pending() const { return qsizetype(m_items.size()); }

private:
    void releaseSlice();
    void releaseAll();

    std::vector<QStandardItem*> m_items;
    QTimer m_nextSlice;
};
