#include "settings/SlotDetailEditorView.h"

#include "actions/ShortcutsManager.h"
#include "hud/ActionIconView.h"
#include "l10n/L10n.h"
#include "model/KeyComboText.h"
#include "platform/Platform.h"
#include "settings/EditorPresets.h"
#include "settings/ShortcutCapture.h"
#include "settings/SlotEditorComponents.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScrollArea>
#include <QTextBoundaryFinder>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QString l10n(const char* key, const char* fallback)
{
    return L10n::string(QString::fromLatin1(key), QString::fromUtf8(fallback));
}

QLabel* makeLabel(const QString& text, double pixelSize, QFont::Weight weight = QFont::Normal,
                  bool secondary = false, bool wrap = false)
{
    auto* label = new QLabel(text);
    QFont f = label->font();
    f.setPixelSize(qRound(pixelSize));
    f.setWeight(weight);
    label->setFont(f);
    if (secondary)
        label->setForegroundRole(QPalette::PlaceholderText);
    label->setWordWrap(wrap);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    return label;
}

QLabel* symbolLabel(const QString& symbol, int size = 16)
{
    auto* label = new QLabel;
    label->setPixmap(symbolIcon(symbol, {}, size).pixmap(size, size));
    label->setFixedSize(size + 2, size + 2);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QPushButton* makeButton(const QString& objectName, const QString& text, const QString& symbol = {})
{
    auto* button = new QPushButton(text);
    button->setObjectName(objectName);
    button->setAccessibleName(text);
    if (!symbol.isEmpty())
        button->setIcon(symbolIcon(symbol));
    return button;
}

QWidget* panelPage(const QString& objectName, QVBoxLayout** layout)
{
    auto* page = new QWidget;
    page->setObjectName(objectName);
    *layout = new QVBoxLayout(page);
    (*layout)->setContentsMargins(0, 4, 0, 0);
    (*layout)->setSpacing(8);
    (*layout)->setAlignment(Qt::AlignTop);
    return page;
}

// Characters as the user sees them: an emoji or an accented letter is one.
int userCharacterCount(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

void setTextKeepingCursor(QLineEdit* field, const QString& text)
{
    if (field->text() != text)
        field->setText(text);
}

// The key of an X keycode before Shift or a group applies, so Shift+1 is "1".
int nextMergeId()
{
    // Ids never repeat within the process, so two editors never merge into one step.
    static int next = 1;
    return ++next;
}

} // namespace

class SlotDetailEditorView::MergeScope
{
public:
    MergeScope(SlotDetailEditorView* view, int mergeId)
        : m_view(view)
        , m_previous(view->m_activeMergeId)
    {
        view->m_activeMergeId = mergeId;
    }
    ~MergeScope() { m_view->m_activeMergeId = m_previous; }

private:
    SlotDetailEditorView* m_view;
    int m_previous;
};

SlotDetailEditorView::SlotDetailEditorView(const ActionSlot& slot, SlotCommit onSave, ShortcutsManager* scripts,
                                           QWidget* parent)
    : QWidget(parent)
    , m_model(
          slot, [this](const ActionSlot& s) { commit(s); },
          [this]() { return m_scripts ? m_scripts->installedShortcuts() : QStringList(); })
    , m_onSave(std::move(onSave))
    , m_scripts(scripts ? scripts : &ShortcutsManager::shared())
{
    setObjectName(QStringLiteral("SlotDetailEditorView"));
    m_pickApplication = [](QWidget* parent, const QString& startIn) {
        return QFileDialog::getOpenFileName(parent, l10n("slot.target_app_browse", "选择应用程序 (.desktop)..."),
                                            startIn, l10n("slot.desktop_entry_filter", "应用程序 (*.desktop)"));
    };
    m_pickFolder = [](QWidget* parent, const QString& startIn) {
        return QFileDialog::getExistingDirectory(parent, l10n("slot.open_panel_title", "选择要打开的文件夹或文件"),
                                                 startIn);
    };
    m_pickFile = [](QWidget* parent, const QString& startIn) {
        return QFileDialog::getOpenFileName(parent, l10n("slot.open_panel_title", "选择要打开的文件夹或文件"),
                                            startIn);
    };
    build();
    if (m_scripts) {
        connect(m_scripts, &ShortcutsManager::installedShortcutsChanged, this,
                &SlotDetailEditorView::refreshScriptPanel);
        connect(m_scripts, &ShortcutsManager::isLoadingChanged, this, &SlotDetailEditorView::refreshScriptPanel);
    }
    refresh();
}

SlotDetailEditorView::~SlotDetailEditorView()
{
    // No keyboard grab outlives the editor.
    if (m_grabbing)
        releaseKeyboard();
    // The fields go with the QWidget part of this editor, after this class is
    // gone; the focus they lose on the way out must not reach its handlers.
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
}

void SlotDetailEditorView::setSlot(const ActionSlot& slot)
{
    if (slot == m_model.slot())
        return;
    if (m_model.isRecordingShortcut())
        stopRecordingShortcut();
    m_model.setSlot(slot);
    refresh();
}

void SlotDetailEditorView::commit(const ActionSlot& slot)
{
    if (m_onSave)
        m_onSave(slot, m_activeMergeId);
    refresh();
}

int SlotDetailEditorView::mergeIdFor(QObject* field)
{
    if (m_mergeField != field) {
        m_mergeField = field;
        m_mergeId = nextMergeId();
    }
    return m_mergeId;
}

void SlotDetailEditorView::endMerge(QObject* field)
{
    if (m_mergeField == field)
        m_mergeField = nullptr;
}

// ---------------------------------------------------------------- layout

void SlotDetailEditorView::build()
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroller = new QScrollArea;
    scroller->setObjectName(QStringLiteral("slotEditorScroller"));
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    outer->addWidget(scroller);

    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("slotEditorContent"));
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(2, 0, 8, 0);
    layout->setSpacing(10);
    layout->addWidget(buildHeader());
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);
    layout->addWidget(buildNameAndIcon());
    layout->addWidget(buildTypeGrid());

    m_panels = new PageStack;
    m_panels->setObjectName(QStringLiteral("slotPanels"));
    m_panels->addWidget(buildShortcutPanel());
    m_panels->addWidget(buildScriptPanel());
    m_panels->addWidget(buildPasteTextPanel());
    m_panels->addWidget(buildLaunchPanel());
    m_panels->addWidget(buildOpenPathPanel());
    m_panels->addWidget(buildOpenUrlPanel());
    m_panels->addWidget(buildSystemControlPanel());
    m_panels->addWidget(buildUnassignedPanel());
    layout->addWidget(m_panels);
    layout->addStretch(1);
    scroller->setWidget(content);
    setMinimumWidth(320);
}

QWidget* SlotDetailEditorView::buildHeader()
{
    auto* header = new QWidget;
    header->setObjectName(QStringLiteral("slotHeader"));
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    m_headerTitle = makeLabel({}, 13, QFont::Bold);
    m_headerTitle->setObjectName(QStringLiteral("slotHeaderTitle"));
    m_headerStatus = makeLabel({}, 11, QFont::Normal, true);
    m_headerStatus->setObjectName(QStringLiteral("slotHeaderStatus"));
    texts->addWidget(m_headerTitle);
    texts->addWidget(m_headerStatus);
    row->addLayout(texts, 1);
    m_clearSector = makeButton(QStringLiteral("slotClearSector"), l10n("slot.clear", "清空扇区"));
    m_clearSector->setIcon(symbolIcon(QStringLiteral("trash"), QColor(0xd9, 0x30, 0x25)));
    m_clearSector->setFlat(true);
    QPalette destructive = m_clearSector->palette();
    destructive.setColor(QPalette::ButtonText, QColor(0xd9, 0x30, 0x25));
    m_clearSector->setPalette(destructive);
    connect(m_clearSector, &QPushButton::clicked, this, [this] { m_model.selectTab(SlotEditorModel::NoneTab); });
    row->addWidget(m_clearSector, 0, Qt::AlignTop);
    return header;
}

QWidget* SlotDetailEditorView::buildNameAndIcon()
{
    auto* box = new QWidget;
    box->setObjectName(QStringLiteral("slotNameAndIcon"));
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(4);

    const QString nameText = l10n("slot.display_name", "显示名称");
    auto* nameLabel = makeLabel(nameText, 11, QFont::Medium);
    m_titleField = new QLineEdit;
    m_titleField->setObjectName(QStringLiteral("slotTitleField"));
    m_titleField->setAccessibleName(nameText);
    m_titleField->setPlaceholderText(l10n("slot.display_name_placeholder", "功能名称"));
    m_titleField->setClearButtonEnabled(true);
    nameLabel->setBuddy(m_titleField);
    connect(m_titleField, &QLineEdit::textEdited, this, [this](const QString& text) {
        MergeScope scope(this, mergeIdFor(m_titleField));
        m_model.setTitle(text);
    });
    connect(m_titleField, &QLineEdit::editingFinished, this, [this] { endMerge(m_titleField); });

    const QString iconText = l10n("slot.icon", "图标");
    auto* iconLabel = makeLabel(iconText, 11, QFont::Medium);
    auto* tile = new QFrame;
    tile->setObjectName(QStringLiteral("slotIconTile"));
    tile->setFixedSize(32, 32);
    tile->setAutoFillBackground(true);
    tile->setBackgroundRole(QPalette::Base);
    tile->setFrameShape(QFrame::StyledPanel);
    auto* tileLayout = new QHBoxLayout(tile);
    tileLayout->setContentsMargins(4, 4, 4, 4);
    m_iconPreview = new ActionIconView(tile);
    m_iconPreview->setObjectName(QStringLiteral("slotIconPreview"));
    m_iconPreview->setAccessibleName(iconText);
    m_iconPreview->setIconSize(22);
    tileLayout->addWidget(m_iconPreview);
    m_iconName = makeLabel({}, 11, QFont::Normal, true);
    m_iconName->setObjectName(QStringLiteral("slotIconName"));
    m_iconName->setMaximumWidth(120);
    auto* iconRow = new QHBoxLayout;
    iconRow->setSpacing(6);
    iconRow->addWidget(tile);
    iconRow->addWidget(m_iconName);

    grid->addWidget(nameLabel, 0, 0);
    grid->addWidget(m_titleField, 1, 0);
    grid->addWidget(iconLabel, 0, 1);
    grid->addLayout(iconRow, 1, 1);
    grid->setColumnStretch(0, 1);
    return box;
}

QWidget* SlotDetailEditorView::buildTypeGrid()
{
    auto* box = new QWidget;
    auto* v = new QVBoxLayout(box);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(6);
    v->addWidget(makeLabel(l10n("slot.action_type", "动作类型"), 11, QFont::Medium));
    auto* gridWidget = new QWidget;
    gridWidget->setObjectName(QStringLiteral("slot-type-grid-") + L10n::shared().effectiveLanguageCode());
    auto* grid = new QGridLayout(gridWidget);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(6);
    m_typeGroup = new QButtonGroup(this);
    m_typeGroup->setExclusive(true);
    for (int tab = 0; tab < SlotEditorModel::tabCount; ++tab) {
        const SlotEditorModel::TabInfo info = SlotEditorModel::tabInfo(tab);
        auto* button = new ActionCategoryButton(SlotEditorModel::tabLabel(tab), info.symbol);
        button->setObjectName(QStringLiteral("slotTypeButton%1").arg(tab));
        m_typeGroup->addButton(button, tab);
        grid->addWidget(button, tab / 4, tab % 4);
    }
    // Pressing a type always applies it, also the one already shown: that re-commits its panel.
    for (int column = 0; column < 4; ++column)
        grid->setColumnStretch(column, 1);
    connect(m_typeGroup, &QButtonGroup::idClicked, this, [this](int tab) { m_model.selectTab(tab); });
    v->addWidget(gridWidget);
    return box;
}

QWidget* SlotDetailEditorView::buildShortcutPanel()
{
    QVBoxLayout* v = nullptr;
    QWidget* page = panelPage(QStringLiteral("slotPanelShortcut"), &v);
    m_shortcutState = new PageStack;

    // Recording.
    auto* recording = new QWidget;
    auto* rv = new QVBoxLayout(recording);
    rv->setContentsMargins(0, 0, 0, 0);
    rv->setAlignment(Qt::AlignTop);
    auto* prompt = makeLabel(l10n("slot.record_shortcut_prompt", "🔴 请在键盘上按下你想要的快捷键 (如 Ctrl+Tab)... 按 Esc 取消"),
                             12, QFont::Medium, false, true);
    prompt->setObjectName(QStringLiteral("slotRecordPrompt"));
    rv->addWidget(prompt);
    auto* cancel = makeButton(QStringLiteral("slotRecordCancel"), l10n("common.cancel", "取消"));
    cancel->setFocusPolicy(Qt::NoFocus); // the keyboard belongs to the recording
    connect(cancel, &QPushButton::clicked, this, &SlotDetailEditorView::stopRecordingShortcut);
    rv->addWidget(cancel, 0, Qt::AlignLeft);
    m_shortcutState->addWidget(recording);

    // Not recording.
    auto* idle = new QWidget;
    auto* iv = new QVBoxLayout(idle);
    iv->setContentsMargins(0, 0, 0, 0);
    iv->setAlignment(Qt::AlignTop);
    m_shortcutShownRow = new QWidget;
    auto* shownRow = new QHBoxLayout(m_shortcutShownRow);
    shownRow->setContentsMargins(0, 0, 0, 0);
    m_shortcutShown = makeLabel({}, 20, QFont::Bold);
    m_shortcutShown->setObjectName(QStringLiteral("slotShortcutShown"));
    m_shortcutShown->setTextInteractionFlags(Qt::TextSelectableByMouse);
    shownRow->addWidget(m_shortcutShown, 1);
    auto* reRecord = makeButton(QStringLiteral("slotReRecord"), l10n("slot.re_record", "重新录制"), "record.circle");
    connect(reRecord, &QPushButton::clicked, this, &SlotDetailEditorView::startRecordingShortcut);
    shownRow->addWidget(reRecord);
    auto* clear = makeButton(QStringLiteral("slotShortcutClear"), l10n("slot.clear_btn", "清除"));
    connect(clear, &QPushButton::clicked, this, [this] { m_model.clearShortcut(); });
    shownRow->addWidget(clear);
    iv->addWidget(m_shortcutShownRow);
    m_recordButton = makeButton(QStringLiteral("slotRecordButton"),
                                l10n("slot.record_btn", "点击录制快捷键 (按下如 Ctrl+Tab)"), "record.circle");
    connect(m_recordButton, &QPushButton::clicked, this, &SlotDetailEditorView::startRecordingShortcut);
    iv->addWidget(m_recordButton);

    m_presetsButton = new QToolButton;
    m_presetsButton->setObjectName(QStringLiteral("slotPresetsMenu"));
    m_presetsButton->setText(EditorPresets::presetsMenuTitle());
    m_presetsButton->setAccessibleName(m_presetsButton->text());
    m_presetsButton->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(m_presetsButton);
    menu->setObjectName(QStringLiteral("slotPresetsMenuPopup"));
    for (const EditorPresets::ShortcutPresetSection& section : EditorPresets::shortcutSections()) {
        menu->addSection(section.localizedTitle());
        for (const EditorPresets::ShortcutPreset& preset : section.presets) {
            QAction* action = menu->addAction(preset.localizedEntry());
            action->setObjectName(preset.entryKey);
            connect(action, &QAction::triggered, this, [this, preset] { m_model.applyShortcutPreset(preset); });
        }
    }
    m_presetsButton->setMenu(menu);
    iv->addWidget(m_presetsButton, 0, Qt::AlignLeft);
    m_shortcutState->addWidget(idle);
    v->addWidget(m_shortcutState);

    v->addWidget(makeLabel(l10n("slot.record_tip", "💡 提示：点击录制后，直接在键盘上按下你想要设定的组合按键（支持 "
                                                 "Ctrl+Tab、方向键、F1-F12 等任意复杂按键）。"),
                           11, QFont::Normal, true, true));
    return page;
}

QWidget* SlotDetailEditorView::buildScriptPanel()
{
    QVBoxLayout* v = nullptr;
    QWidget* page = panelPage(QStringLiteral("slotPanelScript"), &v);
    auto* titleRow = new QHBoxLayout;
    titleRow->addWidget(makeLabel(l10n("slot.shortcuts.title", "选择用户脚本"), 12, QFont::Medium), 1);
    m_refreshScripts = new QToolButton;
    m_refreshScripts->setObjectName(QStringLiteral("slotScriptsRefresh"));
    m_refreshScripts->setText(l10n("slot.shortcuts.refresh", "刷新列表"));
    m_refreshScripts->setAccessibleName(m_refreshScripts->text());
    m_refreshScripts->setIcon(symbolIcon(QStringLiteral("arrow.clockwise")));
    m_refreshScripts->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_refreshScripts->setAutoRaise(true);
    connect(m_refreshScripts, &QToolButton::clicked, this, [this] {
        if (m_scripts)
            m_scripts->refreshShortcuts();
    });
    titleRow->addWidget(m_refreshScripts);
    v->addLayout(titleRow);

    m_scriptState = new PageStack;
    auto* loading = makeLabel(l10n("slot.shortcuts.loading", "正在读取用户脚本..."), 11, QFont::Normal, true);
    loading->setObjectName(QStringLiteral("slotScriptsLoading"));
    m_scriptState->addWidget(loading);

    auto* none = new QWidget;
    auto* nv = new QVBoxLayout(none);
    nv->setContentsMargins(0, 0, 0, 0);
    nv->setAlignment(Qt::AlignTop);
    auto* noneRow = new QHBoxLayout;
    noneRow->addWidget(symbolLabel(QStringLiteral("exclamationmark.circle")), 0, Qt::AlignTop);
    noneRow->addWidget(
        makeLabel(l10n("slot.shortcuts.none_found", "未检测到用户脚本，您可手动输入脚本名称："), 11, QFont::Normal,
                  false, true),
        1);
    nv->addLayout(noneRow);
    m_scriptNameField = new QLineEdit;
    m_scriptNameField->setObjectName(QStringLiteral("slotScriptNameField"));
    m_scriptNameField->setPlaceholderText(l10n("slot.shortcuts.manual_input", "输入脚本名称 (如: 翻译所选内容)"));
    m_scriptNameField->setAccessibleName(m_scriptNameField->placeholderText());
    connect(m_scriptNameField, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_model.setSelectedShortcutName(text); });
    // Return or leaving the field stores the name, so a typed name is never lost.
    connect(m_scriptNameField, &QLineEdit::editingFinished, this,
            [this] { m_model.commitShortcutName(m_scriptNameField->text()); });
    nv->addWidget(m_scriptNameField);
    auto* openFolder = makeButton(QStringLiteral("slotScriptsOpenFolder"),
                                  l10n("slot.shortcuts.open_folder", "创建并打开脚本文件夹"), "folder");
    connect(openFolder, &QPushButton::clicked, this, &SlotDetailEditorView::openScriptsFolder);
    nv->addWidget(openFolder, 0, Qt::AlignLeft);
    m_scriptState->addWidget(none);

    m_scriptPicker = new QComboBox;
    m_scriptPicker->setObjectName(QStringLiteral("slotScriptPicker"));
    m_scriptPicker->setAccessibleName(l10n("slot.shortcuts.title", "选择用户脚本"));
    connect(m_scriptPicker, &QComboBox::activated, this, [this](int index) {
        const QString name = index <= 0 ? QString() : m_scriptPicker->itemText(index);
        m_model.setSelectedShortcutName(name);
        if (!name.isEmpty())
            m_model.commitShortcutName(name);
        refresh();
    });
    auto* pickerPage = new QWidget;
    auto* pv = new QVBoxLayout(pickerPage);
    pv->setContentsMargins(0, 0, 0, 0);
    pv->addWidget(m_scriptPicker);
    pv->addStretch(1);
    m_scriptState->addWidget(pickerPage);
    v->addWidget(m_scriptState);

    auto* testRun = makeButton(QStringLiteral("slotScriptTestRun"), l10n("slot.shortcuts.test_run", "测试运行"),
                               "play.fill");
    connect(testRun, &QPushButton::clicked, this, [this] {
        if (m_scripts)
            m_scripts->runShortcut(m_model.selectedShortcutName());
    });
    v->addWidget(testRun, 0, Qt::AlignLeft);
    v->addWidget(makeLabel(l10n("slot.shortcuts.tip", "💡 提示：把可执行脚本放入 ~/.local/share/Rondix/shortcuts/ 即可在此挑选，触发时直接运行，无需额外权限。"), 11, QFont::Normal,
                           true, true));
    return page;
}

QWidget* SlotDetailEditorView::buildPasteTextPanel()
{
    QVBoxLayout* v = nullptr;
    QWidget* page = panelPage(QStringLiteral("slotPanelPasteText"), &v);
    auto* titleRow = new QHBoxLayout;
    const QString title = l10n("slot.paste_text.title", "常用文本内容");
    titleRow->addWidget(makeLabel(title, 12, QFont::Medium), 1);
    m_textCount = makeLabel({}, 11, QFont::Normal, true);
    m_textCount->setObjectName(QStringLiteral("slotTextCount"));
    titleRow->addWidget(m_textCount);
    v->addLayout(titleRow);

    m_textEditor = new QPlainTextEdit;
    m_textEditor->setObjectName(QStringLiteral("slotTextEditor"));
    m_textEditor->setAccessibleName(title);
    m_textEditor->setPlaceholderText(
        l10n("slot.paste_text.placeholder", "在此输入或粘贴你常用的文本、段落或 AI 提示词..."));
    m_textEditor->setTabChangesFocus(true);
    m_textEditor->setMinimumHeight(80);
    m_textEditor->setMaximumHeight(120);
    m_textEditor->installEventFilter(this);
    connect(m_textEditor, &QPlainTextEdit::textChanged, this, [this] {
        if (m_refreshing)
            return;
        MergeScope scope(this, mergeIdFor(m_textEditor));
        m_model.editTextContent(m_textEditor->toPlainText());
    });
    v->addWidget(m_textEditor);

    v->addWidget(makeLabel(EditorPresets::promptTemplatesTitle(), 11, QFont::Medium));
    auto* chipBox = new QWidget;
    auto* chips = new FlowLayout(chipBox);
    int n = 0;
    for (const EditorPresets::PromptTemplate& prompt : EditorPresets::promptTemplates()) {
        auto* chip = new QuickPromptChip(prompt.localizedLabel(), prompt.localizedText());
        chip->setObjectName(QStringLiteral("slotPromptChip%1").arg(n++));
        const QString templateTitle = prompt.localizedTitle();
        connect(chip, &QuickChip::selected, this,
                [this, templateTitle](const QString& text) { m_model.applyPromptTemplate(text, templateTitle); });
        chips->addWidget(chip);
    }
    v->addWidget(chipBox);

    auto* note = new QHBoxLayout;
    note->addWidget(symbolLabel(QStringLiteral("info.circle"), 14), 0, Qt::AlignTop);
    note->addWidget(makeLabel(l10n("slot.paste_text.help_note",
                                 "触发说明：在轮盘中触发时，若鼠标指针聚焦在输入框，将自动粘贴此文本；若未聚焦输入框，将自动复制到剪贴板。"),
                              11, QFont::Normal, true, true),
                    1);
    v->addLayout(note);
    return page;
}

QWidget* SlotDetailEditorView::buildLaunchPanel()
{
    QVBoxLayout* v = nullptr;
    QWidget* page = panelPage(QStringLiteral("slotPanelLaunch"), &v);
    v->addWidget(makeLabel(l10n("slot.target_app", "目标应用程序"), 12, QFont::Medium));
    m_appRow = new QFrame;
    m_appRow->setObjectName(QStringLiteral("slotAppRow"));
    static_cast<QFrame*>(m_appRow)->setFrameShape(QFrame::StyledPanel);
    m_appRow->setAutoFillBackground(true);
    m_appRow->setBackgroundRole(QPalette::Base);
    auto* row = new QHBoxLayout(m_appRow);
    row->setContentsMargins(8, 6, 8, 6);
    m_appIcon = new ActionIconView(m_appRow);
    m_appIcon->setIconSize(22);
    m_appIcon->setFixedSize(24, 24);
    row->addWidget(m_appIcon);
    m_appLabel = makeLabel({}, 12);
    m_appLabel->setObjectName(QStringLiteral("slotAppLabel"));
    m_appLabel->setTextFormat(Qt::PlainText);
    row->addWidget(m_appLabel, 1);
    v->addWidget(m_appRow);
    auto* browse = makeButton(QStringLiteral("slotChooseApp"),
                              l10n("slot.target_app_browse", "选择应用程序 (.desktop)..."), "arrow.up.forward.app");
    connect(browse, &QPushButton::clicked, this, &SlotDetailEditorView::selectApplicationFromPanel);
    v->addWidget(browse, 0, Qt::AlignLeft);
    return page;
}

QWidget* SlotDetailEditorView::buildOpenPathPanel()
{
    QVBoxLayout* v = nullptr;
    QWidget* page = panelPage(QStringLiteral("slotPanelOpenPath"), &v);
    v->addWidget(makeLabel(l10n("slot.open_path_tip", "💡 提示：支持输入波浪号 (~) 开头的用户路径或任意绝对路径。触发时将在文件管理器中极速打开，无需额外权限。"),
                           11, QFont::Normal, true, true));
    auto* row = new QHBoxLayout;
    row->addWidget(symbolLabel(QStringLiteral("folder")));
    m_pathField = new QLineEdit;
    m_pathField->setObjectName(QStringLiteral("slotPathField"));
    m_pathField->setPlaceholderText(l10n("slot.target_path_placeholder", "输入路径，如 ~/Downloads 或 /usr/share"));
    m_pathField->setAccessibleName(l10n("slot.type.open_path", "打开文件夹"));
    connect(m_pathField, &QLineEdit::textEdited, this, [this](const QString& text) {
        MergeScope scope(this, mergeIdFor(m_pathField));
        m_model.editPath(text);
    });
    connect(m_pathField, &QLineEdit::editingFinished, this, [this] { endMerge(m_pathField); });
    row->addWidget(m_pathField, 1);
    v->addLayout(row);
    auto* choose = new QHBoxLayout;
    auto* chooseFolder = makeButton(QStringLiteral("slotChooseFolder"), l10n("slot.choose_folder", "选择文件夹..."));
    connect(chooseFolder, &QPushButton::clicked, this, [this] { selectPathFromPanel(true); });
    choose->addWidget(chooseFolder);
    auto* chooseFile = makeButton(QStringLiteral("slotChooseFile"), l10n("slot.choose_file", "选择文件..."));
    connect(chooseFile, &QPushButton::clicked, this, [this] { selectPathFromPanel(false); });
    choose->addWidget(chooseFile);
    choose->addStretch(1);
    v->addLayout(choose);

    v->addWidget(makeLabel(EditorPresets::quickPathsTitle(), 11, QFont::Medium));
    auto* chipBox = new QWidget;
    auto* chips = new FlowLayout(chipBox);
    int n = 0;
    for (const EditorPresets::QuickPath& quick : EditorPresets::quickPaths()) {
        auto* chip = new QuickPathChip(quick.localizedTitle(), quick.path);
        chip->setObjectName(QStringLiteral("slotPathChip%1").arg(n++));
        const QString title = quick.localizedTitle();
        connect(chip, &QuickChip::selected, this,
                [this, title](const QString& path) { m_model.applyQuickPath(path, title); });
        chips->addWidget(chip);
    }
    v->addWidget(chipBox);
    return page;
}

QWidget* SlotDetailEditorView::buildOpenUrlPanel()
{
    QVBoxLayout* v = nullptr;
    QWidget* page = panelPage(QStringLiteral("slotPanelOpenUrl"), &v);
    const QString title = l10n("slot.target_url", "网页链接 (URL)");
    v->addWidget(makeLabel(title, 12, QFont::Medium));
    auto* row = new QHBoxLayout;
    row->addWidget(symbolLabel(QStringLiteral("globe")));
    m_urlField = new QLineEdit;
    m_urlField->setObjectName(QStringLiteral("slotUrlField"));
    m_urlField->setAccessibleName(title);
    m_urlField->setPlaceholderText(l10n("slot.target_url_placeholder", "输入网址，例如 https://example.com"));
    connect(m_urlField, &QLineEdit::textEdited, this, [this](const QString& text) {
        MergeScope scope(this, mergeIdFor(m_urlField));
        m_model.editURL(text);
    });
    connect(m_urlField, &QLineEdit::editingFinished, this, [this] { endMerge(m_urlField); });
    row->addWidget(m_urlField, 1);
    v->addLayout(row);
    v->addWidget(makeLabel(l10n("slot.target_url_tip", "💡 提示：支持输入任意网页链接，触发该扇区时将自动在默认浏览器中打开。"),
                           11, QFont::Normal, true, true));
    return page;
}

QWidget* SlotDetailEditorView::buildSystemControlPanel()
{
    QVBoxLayout* v = nullptr;
    QWidget* page = panelPage(QStringLiteral("slotPanelSystemControl"), &v);
    v->addWidget(makeLabel(l10n("slot.system_control", "系统功能"), 12, QFont::Medium));
    auto* row = new QHBoxLayout;
    const QString label = l10n("slot.system_control_select", "功能");
    auto* labelWidget = makeLabel(label, 12);
    row->addWidget(labelWidget);
    m_controlPicker = new QComboBox;
    m_controlPicker->setObjectName(QStringLiteral("slotControlPicker"));
    m_controlPicker->setAccessibleName(label);
    labelWidget->setBuddy(m_controlPicker);
    for (SystemControlAction control : EditorPresets::systemControls())
        m_controlPicker->addItem(symbolIcon(SystemControl::defaultSymbol(control)),
                                 SystemControl::localizedName(control), QVariant::fromValue(control));
    connect(m_controlPicker, &QComboBox::activated, this, [this](int index) {
        m_model.chooseSystemControl(m_controlPicker->itemData(index).value<SystemControlAction>());
    });
    row->addWidget(m_controlPicker, 1);
    v->addLayout(row);
    return page;
}

QWidget* SlotDetailEditorView::buildUnassignedPanel()
{
    QVBoxLayout* v = nullptr;
    QWidget* page = panelPage(QStringLiteral("slotPanelUnassigned"), &v);
    v->addWidget(makeLabel(l10n("slot.unassigned_desc", "此扇区处于未分配状态。"), 12, QFont::Medium, false, true));
    v->addWidget(makeLabel(l10n("slot.unassigned_sub",
                              "扇区图标与名称已自动清空。你可以随时切换动作类型或从下方轻点图标进行设定。"),
                           11, QFont::Normal, true, true));
    return page;
}

// ---------------------------------------------------------------- state

void SlotDetailEditorView::refresh()
{
    const QScopedValueRollback<bool> guard(m_refreshing, true);
    const ActionSlot& slot = m_model.slot();

    m_headerTitle->setText(L10n::format(QStringLiteral("slot.sector_title"), std::nullopt,
                                        {qlonglong(slot.index + 1),
                                         RadialSector::localizedDirectionName(slot.position())}));
    if (slot.action.isNone())
        m_headerStatus->setText(l10n("slot.unassigned", "状态: 未分配"));
    else
        m_headerStatus->setText(L10n::format(QStringLiteral("slot.current_action"), std::nullopt,
                                             {slot.action.localizedSummary()}));
    m_clearSector->setVisible(!slot.action.isNone());

    setTextKeepingCursor(m_titleField, slot.title);
    m_iconPreview->setTintColor(palette().color(QPalette::WindowText));
    m_iconPreview->setIcon(slot.icon);
    const QString iconName = slot.icon.displayName();
    m_iconName->setText(m_iconName->fontMetrics().elidedText(iconName, Qt::ElideMiddle, 120));
    m_iconName->setToolTip(iconName);

    const int tab = m_model.actionTypeTab();
    if (QAbstractButton* button = m_typeGroup->button(tab))
        button->setChecked(true);
    m_panels->setCurrentIndex(tab);

    // Shortcut panel.
    m_shortcutState->setCurrentIndex(m_model.isRecordingShortcut() ? 0 : 1);
    const auto* shortcut = std::get_if<ActionType::Shortcut>(&slot.action.value);
    const bool hasShortcut = shortcut && !shortcut->key.isEmpty();
    m_shortcutShownRow->setVisible(hasShortcut);
    m_recordButton->setVisible(!hasShortcut);
    if (hasShortcut)
        m_shortcutShown->setText(KeyComboText::display(shortcut->keyCode, shortcut->modifiers));

    refreshScriptPanel();

    if (m_textEditor->toPlainText() != m_model.targetTextContent())
        m_textEditor->setPlainText(m_model.targetTextContent());
    m_textCount->setText(L10n::format(QStringLiteral("slot.paste_text.count"), std::nullopt,
                                      {userCharacterCount(m_model.targetTextContent())}));

    const bool hasApp = !m_model.targetAppBundleId().isEmpty() || !m_model.targetAppName().isEmpty();
    m_appRow->setVisible(hasApp);
    if (hasApp) {
        m_appIcon->setIcon(
            IconInfo::app(m_model.targetAppBundleId(), m_model.targetAppName(), m_model.targetAppPath()));
        m_appLabel->setText(m_model.targetAppName() + QStringLiteral("  ") + m_model.targetAppPath());
        m_appLabel->setToolTip(m_model.targetAppPath());
    }

    setTextKeepingCursor(m_pathField, m_model.targetPath());
    setTextKeepingCursor(m_urlField, m_model.targetURL());
    const int controlIndex = m_controlPicker->findData(QVariant::fromValue(m_model.selectedSystemControl()));
    if (controlIndex >= 0)
        m_controlPicker->setCurrentIndex(controlIndex);
}

void SlotDetailEditorView::refreshScriptPanel()
{
    const QScopedValueRollback<bool> guard(m_refreshing, true);
    const bool loading = m_scripts && m_scripts->isLoading();
    const QStringList installed = m_scripts ? m_scripts->installedShortcuts() : QStringList();
    m_refreshScripts->setEnabled(m_scripts && !loading);
    m_scriptState->setCurrentIndex(loading ? 0 : installed.isEmpty() ? 1 : 2);
    const QString name = m_model.selectedShortcutName();
    if (!m_scriptNameField->hasFocus())
        setTextKeepingCursor(m_scriptNameField, name);

    QStringList items{l10n("slot.shortcuts.pick_placeholder", "轻点下拉选择脚本...")};
    items += installed;
    // A stored name whose script is gone still shows, rather than a wrong choice.
    if (!name.isEmpty() && !installed.contains(name))
        items.append(name);
    QStringList current;
    for (int i = 0; i < m_scriptPicker->count(); ++i)
        current.append(m_scriptPicker->itemText(i));
    if (current != items) {
        m_scriptPicker->clear();
        m_scriptPicker->addItems(items);
    }
    m_scriptPicker->setCurrentIndex(name.isEmpty() ? 0 : qMax(0, items.indexOf(name, 1)));
}

// ---------------------------------------------------------------- recording

void SlotDetailEditorView::startRecordingShortcut()
{
    m_model.startRecordingShortcut();
    // The keys go to this editor, including the ones the window manager or the
    // window's own shortcuts would take (Alt+Tab, Super+1, Ctrl+Z): on X the
    // grab is a keyboard grab of the whole window.
    setFocus(Qt::OtherFocusReason);
    grabKeyboard();
    m_grabbing = true;
    refresh();
}

void SlotDetailEditorView::stopRecordingShortcut()
{
    const bool wasRecording = m_model.isRecordingShortcut() || m_grabbing;
    m_model.stopRecordingShortcut();
    if (m_grabbing) {
        releaseKeyboard();
        m_grabbing = false;
    }
    if (!wasRecording)
        return;
    refresh();
    if (m_recordButton->isVisible())
        m_recordButton->setFocus(Qt::OtherFocusReason);
    else if (QWidget* reRecord = findChild<QWidget*>(QStringLiteral("slotReRecord")))
        reRecord->setFocus(Qt::OtherFocusReason);
}

bool SlotDetailEditorView::event(QEvent* event)
{
    if (m_model.isRecordingShortcut()) {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
            // Claim every key before the window's shortcuts see it.
            event->accept();
            return true;
        case QEvent::KeyPress:
            handleRecordedKey(static_cast<QKeyEvent*>(event));
            return true;
        case QEvent::KeyRelease:
            return true;
        default:
            break;
        }
    }
    return QWidget::event(event);
}

bool SlotDetailEditorView::eventFilter(QObject* watched, QEvent* event)
{
    // The text editor has no editingFinished; leaving it ends its undo step.
    if (watched == m_textEditor && event->type() == QEvent::FocusOut)
        endMerge(m_textEditor);
    return QWidget::eventFilter(watched, event);
}

void SlotDetailEditorView::handleRecordedKey(QKeyEvent* event)
{
    if (event->isAutoRepeat())
        return;
    const ShortcutCapture::Result result = ShortcutCapture::interpretKeyEvent(*event);
    switch (result.outcome) {
    case ShortcutCapture::Outcome::Ignore:
        return;
    case ShortcutCapture::Outcome::Cancel:
        stopRecordingShortcut();
        return;
    case ShortcutCapture::Outcome::Record: {
        MergeScope scope(this, 0);
        m_model.recordShortcut(result.keyCode, result.modifiers);
        stopRecordingShortcut();
        return;
    }
    }
}

void SlotDetailEditorView::hideEvent(QHideEvent* event)
{
    // A hidden editor (another tab, a closed window) must not keep the keyboard.
    stopRecordingShortcut();
    QWidget::hideEvent(event);
}

void SlotDetailEditorView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange && m_iconPreview)
        refresh();
    QWidget::changeEvent(event);
}

// ---------------------------------------------------------------- dialogs

void SlotDetailEditorView::selectApplicationFromPanel()
{
    const QString path = m_pickApplication ? m_pickApplication(this, QStringLiteral("/usr/share/applications"))
                                           : QString();
    if (path.isEmpty())
        return;
    QString id = QFileInfo(path).fileName();
    if (id.endsWith(QLatin1String(".desktop")))
        id.chop(8);
    QString name;
    if (DesktopEntries* entries = Platform::instance().desktopEntries) {
        if (const std::optional<DesktopEntry> entry = entries->entryForFile(path))
            name = entry->name;
    }
    if (name.isEmpty())
        name = id;
    m_model.chooseApplication(id, name, path);
}

void SlotDetailEditorView::selectPathFromPanel(bool folder)
{
    const QString home = QDir::homePath();
    const QString current = m_model.targetPath().trimmed();
    const QString startIn = current.isEmpty() ? home : SlotEditorModel::expandTilde(current, home);
    const PathPicker& pick = folder ? m_pickFolder : m_pickFile;
    const QString chosen = pick ? pick(this, startIn) : QString();
    if (chosen.isEmpty())
        return;
    m_model.chooseFolder(QDir::cleanPath(chosen));
}

void SlotDetailEditorView::openScriptsFolder()
{
    if (!m_scripts)
        return;
    m_scripts->ensureFolder();
    const QString folder = m_scripts->folder();
    Opener* opener = Platform::instance().opener;
    if (!opener || !opener->openPath(folder))
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    m_scripts->refreshShortcuts();
}
