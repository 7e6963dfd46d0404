// Dialog template builder and the control access of every dialog.
#include "app/CTemplateDialog.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QKeyEvent>
#include <QStringList>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "app/GuiServices.h"

#include "res/ToolbarImages.h"

namespace vrn::gui
{
namespace
{
QString ToQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The classic dialog font does not exist on Linux; its metrics are closest to Arial's, which
// fontconfig gives as Liberation Sans.
void InstallFontSubstitutions()
{
    static const bool done = [] {
        QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
        QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
        return true;
    }();
    (void)done;
}

QString ControlName(int id) { return QStringLiteral("ctl%1").arg(id); }

// The edit's text without surrounding blanks, as plain ASCII bytes for from_chars.
std::string Trimmed(const QString& text) { return text.trimmed().toStdString(); }

template <typename T>
bool ParseWhole(const std::string& text, T& value)
{
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+')
        ++first;
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last && first != last;
}
}  // namespace

int DialogUnits::X(int dlu) const { return qRound(dlu * charWidth / 4.0); }
int DialogUnits::Y(int dlu) const { return qRound(dlu * charHeight / 8.0); }

DialogUnits DialogUnits::ForFont(const QFont& font)
{
    const QFontMetrics fm(font);
    const int width = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    DialogUnits units;
    units.charWidth = std::max(1, (width / 26 + 1) / 2);
    units.charHeight = std::max(1, fm.height());
    return units;
}

QWidget* FindControl(const QWidget* dialog, int id)
{
    if (!dialog)
        return nullptr;
    return dialog->findChild<QWidget*>(ControlName(id), Qt::FindDirectChildrenOnly);
}

void ApplyDialogPalette(QWidget* widget)
{
    QPalette palette = widget->palette();
    const QColor grey(192, 192, 192);
    const QColor greyText(128, 128, 128);  // the classic text colour of disabled controls
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
    {
        palette.setColor(group, QPalette::Window, grey);
        palette.setColor(group, QPalette::Button, grey);
        palette.setColor(group, QPalette::Light, Qt::white);
        palette.setColor(group, QPalette::Dark, greyText);
        const bool enabled = group != QPalette::Disabled;
        palette.setColor(group, QPalette::WindowText, enabled ? QColor(Qt::black) : greyText);
        palette.setColor(group, QPalette::ButtonText, enabled ? QColor(Qt::black) : greyText);
        palette.setColor(group, QPalette::Text, enabled ? QColor(Qt::black) : greyText);
        // A disabled field takes the window colour.
        palette.setColor(group, QPalette::Base, enabled ? QColor(Qt::white) : grey);
    }
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

CDropList::CDropList(QWidget* parent) : QComboBox(parent)
{
    view()->setTextElideMode(Qt::ElideMiddle);
    connect(this, &QComboBox::currentTextChanged, this, &CDropList::UpdateToolTip);
}

int CDropList::TextWidth() const
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    return std::max(0, field.width() - 2);  // the label is drawn one pixel in from either side
}

QString CDropList::ShownText() const
{
    return fontMetrics().elidedText(currentText(), Qt::ElideMiddle, TextWidth());
}

void CDropList::UpdateToolTip()
{
    setToolTip(ShownText() != currentText() ? currentText() : QString());
}

void CDropList::paintEvent(QPaintEvent* /*event*/)
{
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    option.currentText = ShownText();
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

void CDropList::resizeEvent(QResizeEvent* event)
{
    QComboBox::resizeEvent(event);
    UpdateToolTip();
}

void CDropList::showPopup()
{
    // Whole items in the opened list, however narrow the closed box is.
    const int widest = view()->sizeHintForColumn(0) + 2 * view()->frameWidth() +
                       style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    view()->setMinimumWidth(std::max(width(), widest));
    QComboBox::showPopup();
}

QRect CGroupBox::CaptionRect() const
{
    const QFontMetrics metrics(font());
    if (title().isEmpty())
        return {metrics.averageCharWidth(), 0, 0, metrics.height()};
    return {metrics.averageCharWidth(), 0, metrics.horizontalAdvance(title()) + 2, metrics.height()};
}

void CGroupBox::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
    const QPalette& colours = palette();
    const QFontMetrics metrics(font());
    // Etched: a dark rectangle with a light one one pixel further in.
    const QRect frame = rect().adjusted(0, metrics.height() / 2, -2, -2);
    painter.setPen(colours.color(group, QPalette::Dark));
    painter.drawRect(frame);
    painter.setPen(colours.color(group, QPalette::Light));
    painter.drawRect(frame.translated(1, 1));
    if (title().isEmpty())
        return;
    const QRect caption = CaptionRect();
    painter.fillRect(caption, colours.color(group, QPalette::Window));
    painter.setPen(colours.color(group, QPalette::WindowText));
    painter.drawText(caption.adjusted(1, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, title());
}

CTemplateDialog::CTemplateDialog(int templateId, QWidget* parent)
    : QDialog(parent), m_template(res::FindDialogTemplate(templateId))
{
    Q_ASSERT(m_template);
    InstallFontSubstitutions();
    setObjectName(QStringLiteral("dlg%1").arg(templateId));
    Build();
}

void CTemplateDialog::Build()
{
    using res::ControlKind;
    const QFont font(ToQString(m_template->fontName), m_template->fontPoints);
    setFont(font);
    m_units = DialogUnits::ForFont(font);
    ApplyDialogPalette(this);
    setWindowTitle(ToQString(m_template->title));
    setFixedSize(m_units.X(m_template->width), m_units.Y(m_template->height));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    std::vector<QWidget*> focusChain;
    std::vector<QGroupBox*> groupBoxes;
    std::vector<QLabel*> labelsAwaitingBuddy;
    int radioGroupFirst = -1;
    for (const auto& c : m_template->controls)
    {
        const QString text = ToQString(c.text);
        QWidget* widget = nullptr;
        switch (c.kind)
        {
        case ControlKind::Label:
        {
            auto* label = new QLabel(text, this);
            label->setTextFormat(Qt::PlainText);
            label->setWordWrap(c.h > 12);
            label->setAlignment((c.style & res::kRight ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
            if (text.contains(QLatin1Char('&')))
                labelsAwaitingBuddy.push_back(label);
            widget = label;
            break;
        }
        case ControlKind::GroupBox:
        {
            auto* box = new CGroupBox(text, this);
            groupBoxes.push_back(box);
            widget = box;
            break;
        }
        case ControlKind::Edit:
            widget = new QLineEdit(this);
            break;
        case ControlKind::PushButton:
        case ControlKind::DefaultButton:
        {
            auto* button = new QPushButton(text, this);
            button->setDefault(c.kind == ControlKind::DefaultButton);
            button->setAutoDefault(true);
            const int id = c.id;
            connect(button, &QPushButton::clicked, this, [this, id] { Clicked(id); });
            widget = button;
            break;
        }
        case ControlKind::CheckBox:
        {
            auto* box = new QCheckBox(text, this);
            const int id = c.id;
            connect(box, &QCheckBox::clicked, this, [this, id] { Clicked(id); });
            widget = box;
            break;
        }
        case ControlKind::RadioButton:
        {
            auto* radio = new QRadioButton(text, this);
            // A radio button joins the group of the last button marked kGroup.
            if ((c.style & res::kGroup) || radioGroupFirst < 0)
            {
                radioGroupFirst = c.id;
                auto* group = new QButtonGroup(this);
                group->setExclusive(true);
                m_radioGroups[c.id] = group;
            }
            QButtonGroup* group = m_radioGroups[radioGroupFirst];
            group->addButton(radio, static_cast<int>(group->buttons().size()));
            m_radioFirst[c.id] = radioGroupFirst;
            const int id = c.id;
            connect(radio, &QRadioButton::clicked, this, [this, id] { Clicked(id); });
            widget = radio;
            break;
        }
        case ControlKind::DropList:
        {
            auto* combo = new CDropList(this);
            combo->setEditable(false);
            QStringList items = ToQString(c.items).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            if (c.style & res::kSorted)
                items.sort(Qt::CaseInsensitive);
            combo->addItems(items);
            combo->setCurrentIndex(-1);
            const int id = c.id;
            connect(combo, &QComboBox::activated, this, [this, id] { OnCommand(id); });
            widget = combo;
            break;
        }
        case ControlKind::Icon:
        {
            auto* icon = new QLabel(this);
            icon->setPixmap(res::ProgramIconPixmap(m_units.X(c.w)));
            widget = icon;
            break;
        }
        }

        // A drop-down list's template height is that of its opened list; the closed box is one line.
        const int height = c.kind == ControlKind::DropList ? m_units.Y(12) : m_units.Y(c.h);
        widget->setGeometry(m_units.X(c.x), m_units.Y(c.y), m_units.X(c.w), height);
        widget->setProperty("controlId", c.id);
        if (c.id != res::kNoId)
        {
            widget->setObjectName(ControlName(c.id));
            m_controls.emplace(c.id, widget);
        }
        if (c.style & res::kDisabled)
            widget->setEnabled(false);
        if (c.style & res::kHidden)
            widget->setHidden(true);

        const bool focusable = c.kind != ControlKind::Label && c.kind != ControlKind::GroupBox &&
                               c.kind != ControlKind::Icon;
        if (!focusable)
            widget->setFocusPolicy(Qt::NoFocus);
        else
        {
            focusChain.push_back(widget);
            // A label's mnemonic moves the focus to the next control in template order.
            for (QLabel* label : labelsAwaitingBuddy)
                label->setBuddy(widget);
            labelsAwaitingBuddy.clear();
        }
    }
    for (std::size_t i = 1; i < focusChain.size(); ++i)
        QWidget::setTabOrder(focusChain[i - 1], focusChain[i]);
    // Group boxes are frames behind the controls they surround, never above them.
    for (QGroupBox* box : groupBoxes)
        box->lower();
}

QWidget* CTemplateDialog::Control(int id) const
{
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

int CTemplateDialog::DoModal() { return exec(); }

void CTemplateDialog::EndDialog(int result) { done(result); }

QString CTemplateDialog::Text(int id) const
{
    QWidget* w = Control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        return edit->text();
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return button->text();
    if (auto* box = qobject_cast<QGroupBox*>(w))
        return box->title();
    if (auto* combo = qobject_cast<QComboBox*>(w))
        return combo->currentText();
    return {};
}

void CTemplateDialog::SetText(int id, const QString& text)
{
    QWidget* w = Control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(text);
    else if (auto* box = qobject_cast<QGroupBox*>(w))
        box->setTitle(text);
}

bool CTemplateDialog::IsChecked(int id) const
{
    auto* button = qobject_cast<QAbstractButton*>(Control(id));
    return button && button->isChecked();
}

void CTemplateDialog::SetChecked(int id, bool checked)
{
    if (auto* button = qobject_cast<QAbstractButton*>(Control(id)))
        button->setChecked(checked);
}

void CTemplateDialog::Enable(int id, bool enable)
{
    if (QWidget* w = Control(id))
        w->setEnabled(enable);
}

bool CTemplateDialog::IsEnabled(int id) const
{
    QWidget* w = Control(id);
    return w && w->isEnabled();
}

int CTemplateDialog::RadioIndex(int firstId) const
{
    const auto it = m_radioGroups.find(firstId);
    return it == m_radioGroups.end() ? -1 : it->second->checkedId();
}

void CTemplateDialog::SetRadioIndex(int firstId, int index)
{
    const auto it = m_radioGroups.find(firstId);
    if (it == m_radioGroups.end())
        return;
    QButtonGroup* group = it->second;
    QAbstractButton* target = group->button(index);
    if (target)
    {
        target->setChecked(true);
        return;
    }
    // No button selected: an exclusive group will not uncheck its last button by itself.
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons())
        b->setChecked(false);
    group->setExclusive(true);
}

QString CTemplateDialog::ListText(int id) const
{
    auto* combo = qobject_cast<QComboBox*>(Control(id));
    if (!combo || combo->currentIndex() < 0)
        return {};
    return combo->currentText();
}

void CTemplateDialog::SelectListPrefix(int id, const QString& text)
{
    auto* combo = qobject_cast<QComboBox*>(Control(id));
    if (!combo)
        return;
    int found = -1;
    if (!text.isEmpty())
        for (int i = 0; i < combo->count(); ++i)
            if (combo->itemText(i).startsWith(text, Qt::CaseInsensitive))
            {
                found = i;
                break;
            }
    combo->setCurrentIndex(found);
}

void CTemplateDialog::GotoControl(int id)
{
    QWidget* w = Control(id);
    if (!w)
        return;
    w->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->selectAll();
}

void CTemplateDialog::SetExtendedUI(int id)
{
    if (auto* combo = qobject_cast<QComboBox*>(Control(id)))
        combo->installEventFilter(this);
}

bool CTemplateDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down)
        if (auto* combo = qobject_cast<QComboBox*>(watched))
        {
            combo->showPopup();
            return true;
        }
    return QDialog::eventFilter(watched, event);
}

void CTemplateDialog::Refuse(int id, const QString& message)
{
    ShowMessage(this, message);
    GotoControl(id);
}

bool CTemplateDialog::ReadInt(int id, int& value)
{
    if (ParseWhole(Trimmed(Text(id)), value))
        return true;
    Refuse(id, QStringLiteral("Please enter an integer."));
    return false;
}

bool CTemplateDialog::ReadUnsigned(int id, std::uint32_t& value)
{
    if (ParseWhole(Trimmed(Text(id)), value))
        return true;
    Refuse(id, QStringLiteral("Please enter a positive integer."));
    return false;
}

bool CTemplateDialog::ReadFloat(int id, float& value)
{
    if (ParseWhole(Trimmed(Text(id)), value) && std::isfinite(value))
        return true;
    Refuse(id, QStringLiteral("Please enter a number."));
    return false;
}

bool CTemplateDialog::ReadDouble(int id, double& value)
{
    if (ParseWhole(Trimmed(Text(id)), value) && std::isfinite(value))
        return true;
    Refuse(id, QStringLiteral("Please enter a number."));
    return false;
}

bool CTemplateDialog::CheckRange(int id, int value, int minimum, int maximum)
{
    if (value >= minimum && value <= maximum)
        return true;
    Refuse(id, QStringLiteral("Please enter an integer between %1 and %2.").arg(minimum).arg(maximum));
    return false;
}

bool CTemplateDialog::CheckRange(int id, double value, double minimum, double maximum)
{
    if (value >= minimum && value <= maximum)
        return true;
    Refuse(id, QStringLiteral("Please enter a number between %1 and %2.")
                   .arg(FormatReal(minimum))
                   .arg(FormatReal(maximum)));
    return false;
}

void CTemplateDialog::SetInt(int id, long long value) { SetText(id, QString::number(value)); }

void CTemplateDialog::SetReal(int id, double value, int digits) { SetText(id, FormatReal(value, digits)); }

QString CTemplateDialog::FormatReal(double value, int digits)
{
    std::array<char, 64> buffer{};
    const auto [end, error] =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::general, digits);
    if (error != std::errc())
        return QStringLiteral("0");
    return QString::fromLatin1(buffer.data(), static_cast<qsizetype>(end - buffer.data()));
}

void CTemplateDialog::showEvent(QShowEvent* event)
{
    if (!m_initialised)
    {
        m_initialised = true;
        OnInitDialog();
        // Centred on the owner when created.
        if (QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr)
        {
            const QRect area = owner->frameGeometry();
            move(area.center() - QPoint(width() / 2, height() / 2));
        }
    }
    QDialog::showEvent(event);
}

void CTemplateDialog::reject()
{
    if (CanCancel())
        OnCancel();
}

void CTemplateDialog::accept() { OnOK(); }

void CTemplateDialog::Clicked(int id)
{
    if (id == kIdOk)
        OnOK();
    else if (id == kIdCancel)
        OnCancel();
    else
        OnCommand(id);
}
}  // namespace vrn::gui
