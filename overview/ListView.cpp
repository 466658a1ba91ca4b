#include "overview/ListView.h"

// Placeholder bodies; the list model follows.
ListView::ListView(QWidget* parent) : QWidget(parent) {}
ListView::~ListView() = default;
void ListView::addColumn(const QString&, int) {}
int ListView::addItem(const QString&) { return 0; }
void ListView::setSubItem(int, int, const QString&) {}
int ListView::addItem(std::string_view) { return 0; }
void ListView::setSubItem(int, int, std::string_view) {}
void ListView::clear() {}
int ListView::count() const { return 0; }
QString ListView::text(int, int) const { return {}; }
std::optional<QString> ListView::selectedText() const { return std::nullopt; }
bool ListView::Sorted() const { return false; }
void ListView::setSorted(bool) {}
int ListView::SortKey() const { return 0; }
void ListView::setSortKey(int) {}
int ListView::SortOrder() const { return 0; }
void ListView::setSortOrder(int) {}
