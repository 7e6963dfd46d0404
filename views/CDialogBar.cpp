// Dialog bars of the views.
#include "views/CDialogBar.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "app/CTemplateDialog.h"
#include "res/ViewBarTemplates.h"

namespace vrn::gui
{
CDialogBar::CDialogBar(int templateId, QWidget* parent) : QWidget(parent)
{
    const res::DialogTemplate* t = res::FindViewTemplate(templateId);
    if (t == nullptr)
        return;
    const QFont font(QString::fromUtf8(t->fontName.data(), static_cast<qsizetype>(t->fontName.size())),
                     t->fontPoints);
    setFont(font);
    ApplyDialogPalette(this);
    const DialogUnits units = DialogUnits::ForFont(font);
    setFixedHeight(units.Y(t->height));
    setMinimumWidth(units.X(t->width));
    for (const res::ControlTemplate& c : t->controls)
    {
        const QString text = QString::fromUtf8(c.text.data(), static_cast<qsizetype>(c.text.size()));
        QWidget* widget = nullptr;
        switch (c.kind)
        {
            case res::ControlKind::GroupBox:
                widget = new CGroupBox(text, this);
                break;
            case res::ControlKind::PushButton:
            case res::ControlKind::DefaultButton:
            {
                auto* button = new QPushButton(text, this);
                button->setAutoDefault(false);
                button->setFocusPolicy(Qt::NoFocus);
                const int id = c.id;
                connect(button, &QPushButton::clicked, this,
                        [this, id]
                        {
                            if (m_onCommand)
                                m_onCommand(id);
                        });
                widget = button;
                break;
            }
            default:
            {
                auto* label = new QLabel(text, this);
                label->setTextFormat(Qt::PlainText);
                label->setAlignment((c.style & res::kRight ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
                widget = label;
                break;
            }
        }
        widget->setGeometry(units.X(c.x), units.Y(c.y), units.X(c.w), units.Y(c.h));
        if (c.kind == res::ControlKind::Label && c.id != res::kNoId)
            m_templateRects.emplace(widget, widget->geometry());
        if (c.kind == res::ControlKind::GroupBox)
            widget->lower();
        if (c.style & res::kHidden)
            widget->hide();
        if (c.id != res::kNoId)
        {
            widget->setObjectName(QStringLiteral("ctl%1").arg(c.id));
            m_controls.emplace(c.id, widget);
        }
    }
}

QWidget* CDialogBar::Control(int id) const
{
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

void CDialogBar::FitLabel(QLabel& label)
{
    // A text wider than its field grows away from its alignment edge instead of being cut off.
    const auto it = m_templateRects.find(&label);
    if (it == m_templateRects.end())
        return;
    const QRect base = it->second;
    const int need = label.fontMetrics().horizontalAdvance(label.text()) + 2;
    QRect rect = base;
    if (need > base.width())
    {
        if (label.alignment() & Qt::AlignRight)
            rect.setLeft(base.right() + 1 - need);
        else
            rect.setWidth(need);
    }
    if (rect != label.geometry())
        label.setGeometry(rect);
}

void CDialogBar::SetText(int id, const QString& text)
{
    QWidget* widget = Control(id);
    if (auto* label = qobject_cast<QLabel*>(widget))
    {
        if (label->text() == text)
            return;  // most fields keep their text from one record to the next: no new fit
        label->setText(text);
        FitLabel(*label);
    }
    else if (auto* box = qobject_cast<QGroupBox*>(widget))
        box->setTitle(text);
    else if (auto* button = qobject_cast<QPushButton*>(widget))
        button->setText(text);
}

QString CDialogBar::Text(int id) const
{
    QWidget* widget = Control(id);
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* box = qobject_cast<QGroupBox*>(widget))
        return box->title();
    if (auto* button = qobject_cast<QPushButton*>(widget))
        return button->text();
    return {};
}

void CDialogBar::Click(int id)
{
    if (auto* button = qobject_cast<QPushButton*>(Control(id)))
        button->click();
}
}  // namespace vrn::gui
