#pragma once
// The overview's list as a screen reader meets it: a table of rows and columns under a
// row of column headers, each header offering the click that sorts by it. (Qt reads a
// tree view as a tree, its rows as tree items, and its headers offer no action.)
class QAccessibleInterface;
class QObject;
class QString;

namespace overview_detail {
QAccessibleInterface* ListViewAccessibleFactory(const QString& className, QObject* object);
}
