#pragma once

#include "client/ui/QnLynFileKind.h"

#include <QStringList>
#include <QWidget>

class QListView;
class QnLynFileListDelegate;
class QnLynFileListModel;

/// The frameless page listing the files whose upload to the receiver failed, offering to send
/// them again. Created once, without a parent, by the main sender window. GUI thread only.
class QnLynUploadAgainWidget : public QWidget
{
    Q_OBJECT
public:
    explicit QnLynUploadAgainWidget(QWidget *parent = nullptr);
    ~QnLynUploadAgainWidget() override;

    /// Replaces the list with files, sent again as kind. Paths whose base name is empty are
    /// skipped; pictures (case-insensitive suffix test) get a thumbnail.
    void setFiles(const QStringList &files, QnLynUploadKind kind);
    /// The same, with the kind taken from the list itself (see QnLynFileKind::kindOf).
    void setFiles(const QStringList &files);

    QnLynUploadKind kind() const { return m_kind; }
    QnLynFileListModel *model() const { return m_model; }
    QListView *listView() const { return m_listView; }

signals:
    /// Every listed file, in list order, and whether they are pictures.
    void uploadFiles(QStringList files, bool isPic);

private slots:
    void on_ucloseBtn_clicked();
    void on_uploadBtn_clicked();

private:
    void deleteRow(int row);

    QnLynFileListDelegate *m_delegate = nullptr;
    QnLynFileListModel *m_model = nullptr;
    QListView *m_listView = nullptr;
    QnLynUploadKind m_kind = QnLynUploadKind::Document;
};
