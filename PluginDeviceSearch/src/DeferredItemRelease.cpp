#include "DeferredItemRelease.h"

#include <QElapsedTimer>
#include <QSignalBlocker>
#include <QStandardItemModel>

namespace {
// Well under a frame, so that a screen drawn between two slices keeps its pace.
constexpr qint64 kSliceNanoseconds = 4'000'000;
// Items freed between two looks at the clock.
constexpr int kItemsPerLook = 64;
} // namespace

DeferredItemRelease::DeferredItemRelease(QObject* parent)
    : QObject(parent)
{
    m_nextSlice.setSingleShot(true);
    m_nextSlice.setInterval(0);
    connect(&m_nextSlice, &QTimer::timeout, this, &DeferredItemRelease::releaseSlice);
}

DeferredItemRelease::~DeferredItemRelease()
{
    releaseAll();
}

bool DeferredItemRelease::takesRows(const QStandardItemModel* model)
{
    return model->columnCount() == 1 && !model->signalsBlocked();
}

QList<QStandardItem*> DeferredItemRelease::clear(QStandardItemModel* model, const Keep& keep)
{
    // The rows leave while the views wait for the reset: every listener told that it
    // comes has seen them, and no one reads the model until it is over. Only a model of
    // one column gives its items up in a single call; any other is cleared as it is.
    // Once only: a clear that a listener of this one starts is a clear of its own.
    QList<QStandardItem*> kept;
    QMetaObject::Connection taking;
    if (takesRows(model)) {
        taking = connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this, model, &keep, &kept] {
            // Taking the column out is part of the reset, not a change of its own.
            const QSignalBlocker quiet(model);
            const QList<QStandardItem*> items = model->invisibleRootItem()->takeColumn(0);
            for (QStandardItem* item : items) {
                if (!item)
                    continue;
                if (keep && keep(*item))
                    kept.append(item);
                else
                    m_items.push_back(item);
            }
        }, Qt::SingleShotConnection);
    }
    model->clear();
    disconnect(taking);
    if (!m_items.empty() && !m_nextSlice.isActive())
        m_nextSlice.start();
    return kept;
}

void DeferredItemRelease::releaseAll()
{
    m_nextSlice.stop();
    for (QStandardItem* item : m_items)
        delete item;
    m_items.clear();
    m_items.shrink_to_fit();
}

void DeferredItemRelease::releaseSlice()
{
    QElapsedTimer clock;
    clock.start();
    do {
        for (int i = 0; i < kItemsPerLook && !m_items.empty(); ++i) {
            delete m_items.back();
            m_items.pop_back();
        }
    } while (!m_items.empty() && clock.nsecsElapsed() < kSliceNanoseconds);
    // The list keeps its room for the next clear. It was made after the rows it holds,
    // so it lies above them in the heap: freeing it last would let the C library merge
    // the whole freed site into the heap's top and hand it back to the system in that
    // one turn (about 70 ms at 100,000 rows). Kept, the freed rows' memory waits for
    // the next search's rows instead.
    if (!m_items.empty())
        m_nextSlice.start();
}
