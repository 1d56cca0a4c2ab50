// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editor/core/screen.h"

#include <QGroupBox>
#include <QList>
#include <QString>

#include <optional>

class QFormLayout;
class QLabel;
class QPushButton;

namespace varnix {

class LineField;
class PageHost;

// The numbers of the object selected, each in a field named as its page
// names it and checked as the page checks it when the focus leaves it or
// Enter is pressed: a text a page would refuse gets the page's message, a
// number the board cannot take is refused too, and the field then shows
// the object's own value again. What passes changes the object.
class PropertyPanel : public QGroupBox
{
    Q_OBJECT
public:
    explicit PropertyPanel(PageHost& host, QWidget* parent = nullptr);

    // The item to show, or none; `selected` counts what is selected.
    void showItem(const editor::Item* item, int selected);
    // Checks the field holding the focus now, as leaving it would.
    void commitFocused();

    // The field for a page's field name, while shown.
    LineField* field(const QString& name) const;

signals:
    // A number or text accepted: the object (by its item's id) as it now
    // is, and what changed ("Circle Radius").
    void changed(quint64 id, const editor::Shape& shape, const QString& what);
    void editText();
    void editPicture();
    void drawDots();

public:
    // One number or text of an object, in the field its page has for it.
    struct Property;

private:
    struct Shown {
        const Property* property;
        LineField* field;
    };
    void clear();
    void commit(LineField* field);
    QString valueText(const Property& property) const;
    QString partnerText(const Property& property) const;

    PageHost& m_host;
    QFormLayout* m_form;
    QLabel* m_note;
    QWidget* m_fields;
    QList<Shown> m_shown;
    std::optional<editor::Shape> m_shape;
    quint64 m_id = 0;
    bool m_committing = false;
};

} // namespace varnix
