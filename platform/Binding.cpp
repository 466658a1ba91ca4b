#include "platform/Binding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "platform/Controls.h"
#include "platform/Errors.h"
#include "platform/MsgBox.h"
#include "store/Text.h"

namespace platform {

namespace {

using store::Value;

Value textValue(const QString& text)
{
    return text.isEmpty() ? Value() : Value(text.toStdString());
}

class DataBinding : public QObject {
public:
    DataBinding(QWidget* control, std::shared_ptr<store::Recordset> rs, std::string field)
        : QObject(control), control_(control), rs_(std::move(rs)), field_(std::move(field))
    {
        // A closed recordset, or a field it lacks, fails at binding time.
        if (!rs_->isOpen())
            throw RuntimeError(store::err::ObjectClosed,
                               "Operation is not allowed when the object is closed.");
        bool known = false;
        for (const auto& name : rs_->fieldNames())
            known = known || QString::fromStdString(name).compare(QString::fromStdString(field_), Qt::CaseInsensitive) == 0;
        if (!known)
            throw RuntimeError(store::err::ItemNotFound,
                               "Item cannot be found in the collection corresponding to the requested "
                               "name or ordinal: there is no field '" + field_ + "' to bind to.");
        token_ = rs_->subscribe([this] { refresh(); });
        connectControl();
        refresh();
    }
    ~DataBinding() override
    {
        if (rs_)
            rs_->unsubscribe(token_);
    }
    // Whether the control is still bound to that field (names compare without case).
    bool boundTo(const std::string& field) const { return rs_ && store::EqualsNoCase(field, field_); }

private:
    void connectControl()
    {
        auto push = [this] { pushToRecord(); };
        if (auto* w = qobject_cast<QLineEdit*>(control_))
            connect(w, &QLineEdit::textChanged, this, push);
        else if (auto* w = qobject_cast<QPlainTextEdit*>(control_))
            connect(w, &QPlainTextEdit::textChanged, this, push);
        else if (auto* w = qobject_cast<QComboBox*>(control_))
            connect(w, &QComboBox::editTextChanged, this, push);
        else if (auto* w = qobject_cast<QCheckBox*>(control_))
            connect(w, &QCheckBox::stateChanged, this, push);
        else if (auto* w = qobject_cast<QDateEdit*>(control_))
            connect(w, &QDateEdit::dateChanged, this, push);
    }

    Value controlValue() const
    {
        if (auto* w = qobject_cast<QLineEdit*>(control_))
            return textValue(w->text());
        if (auto* w = qobject_cast<QPlainTextEdit*>(control_))
            return textValue(w->toPlainText());
        if (auto* w = qobject_cast<QComboBox*>(control_))
            return textValue(w->currentText());
        if (auto* w = qobject_cast<QCheckBox*>(control_))
            return Value(w->isChecked());
        if (auto* w = qobject_cast<QDateEdit*>(control_))
            return Value(w->date().toString(Qt::ISODate).toStdString());
        return {};
    }

    void pushToRecord()
    {
        if (updating_ || !rs_ || !rs_->isOpen())
            return;
        Guard([this] { rs_->setField(field_, controlValue()); });
    }

    // Shows the current record's value; with no current record the control is cleared.
    void refresh()
    {
        if (!rs_->isOpen()) {
            // The recordset closed: the binding ends; the control keeps what it shows.
            rs_->unsubscribe(token_);
            rs_.reset();
            return;
        }
        Value v;
        bool haveRecord = false;
        try {
            if (!rs_->Eof()) {
                v = rs_->Fields(field_);
                haveRecord = true;
            }
        } catch (const RuntimeError&) {
            // No current record (it was deleted): the control shows nothing.
        }
        updating_ = true;
        const QString text = QString::fromStdString(v.toText());
        // A single-line box puts the caret after a text it is given, scrolled to its end:
        // a value longer than the box would open showing its last letters. It shows the
        // start, as a value the user comes to read does.
        if (auto* w = qobject_cast<TextBox*>(control_)) {
            w->showText(text); // a stored value longer than the box's limit is shown whole
            w->setCursorPosition(0);
        } else if (auto* w = qobject_cast<QLineEdit*>(control_)) {
            w->setText(text);
            w->setCursorPosition(0);
        } else if (auto* w = qobject_cast<QPlainTextEdit*>(control_)) {
            w->setPlainText(text);
        } else if (auto* w = qobject_cast<QComboBox*>(control_)) {
            w->setEditText(text);
            if (w->lineEdit())
                w->lineEdit()->setCursorPosition(0);
        }
        // A check box and a date picker cannot show Null (nor a date picker a text that is
        // not a date): they show unticked and today. A stored record keeps what it holds
        // until the user changes the control; a new one takes what they show, so that a
        // Save stores what the user saw.
        bool showsOtherThanStored = false;
        if (auto* w = qobject_cast<QCheckBox*>(control_)) {
            w->setChecked(v.isTrue());
            showsOtherThanStored = v.isNull();
        } else if (auto* w = qobject_cast<QDateEdit*>(control_)) {
            QDate d = QDate::fromString(text, Qt::ISODate);
            showsOtherThanStored = !d.isValid();
            w->setDate(showsOtherThanStored ? QDate::currentDate() : d);
        }
        updating_ = false;
        if (showsOtherThanStored && haveRecord && rs_->editMode() == store::EditMode::AddNew)
            pushToRecord();
    }

    QWidget* control_;
    std::shared_ptr<store::Recordset> rs_;
    std::string field_;
    int token_ = 0;
    bool updating_ = false;
};

// The refused value as the message quotes it: a long text is cut, the start is enough.
QString quoted(const std::string& value)
{
    constexpr int kShown = 40;
    const QString text = QString::fromStdString(value);
    return "'" + (text.size() > kShown ? text.left(kShown) + QChar(0x2026) : text) + "'";
}

} // namespace

void ReportRefusedValue(QWidget* window, const store::ValueRefused& refused, const QString& retry)
{
    QWidget* box = nullptr;
    if (window && !refused.field().empty())
        for (auto* child : window->findChildren<QObject*>())
            if (auto* binding = dynamic_cast<DataBinding*>(child); binding && binding->boundTo(refused.field()))
                box = qobject_cast<QWidget*>(binding->parent());
    QString what;
    if (box)
        what = box->accessibleName().isEmpty() ? box->objectName() : box->accessibleName();
    else
        what = QString::fromStdString(refused.field());
    const QString first = what.isEmpty()
        ? QStringLiteral("The logbook cannot store this entry.")
        : QStringLiteral("%1: the logbook cannot store %2.").arg(what, quoted(refused.value()));
    MsgBox(first + QStringLiteral("\r\n") + QString::fromStdString(refused.description())
               + QStringLiteral("\r\n\r\nNothing was saved, and everything you entered is still here. "
                                "Correct it and press %1 again.")
                     .arg(QString(retry).remove(QLatin1Char('&'))),
           vbOKOnly + vbExclamation);
    if (box)
        box->setFocus(Qt::OtherFocusReason);
}

void Bind(QWidget* control, const std::shared_ptr<store::Recordset>& dataSource, const std::string& dataField)
{
    if (!dataSource)
        throw RuntimeError(store::err::ObjectClosed, "The data source of '"
                                                         + control->objectName().toStdString()
                                                         + "' is not set.");
    // A control is bound to one field at a time: a new binding replaces the old one.
    for (auto* old : control->findChildren<QObject*>(QString(), Qt::FindDirectChildrenOnly))
        if (dynamic_cast<DataBinding*>(old))
            delete old;
    new DataBinding(control, dataSource, dataField);
}

} // namespace platform
