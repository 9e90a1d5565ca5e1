#pragma once

#include <QDialog>

class MessagePresenter;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class SnmpAgents;

// How one row behaves besides answering: counters that move, Sets that stick, faults. Apply
// sets the running row at once; a field that does not read is named and nothing changes. The
// row's counts are shown live.
class BehaviourDialog : public QDialog
{
    Q_OBJECT
public:
    BehaviourDialog(SnmpAgents &agents, int index, MessagePresenter &messages,
                    QWidget *parent = nullptr);

    int row() const { return m_index; }
    // Shows the counts as they are now; a timer calls it while the dialog is open.
    void showCounts();

    QCheckBox *chkCountersAdvance = nullptr;
    QComboBox *cboSpeedFactor = nullptr;
    QCheckBox *chkAcceptSet = nullptr;
    QPushButton *cmdResetValues = nullptr;
    QLineEdit *txtLatency = nullptr;
    QLineEdit *txtJitter = nullptr;
    QLineEdit *txtLoss = nullptr;
    QCheckBox *chkMute = nullptr;
    QLineEdit *txtErrorShare = nullptr;
    QComboBox *cboErrorStatus = nullptr;
    QLineEdit *txtMalformedShare = nullptr;
    QComboBox *cboMalformedKind = nullptr;
    QCheckBox *chkLegacyV2c = nullptr;
    QLabel *lblCounts = nullptr;
    QPushButton *cmdApply = nullptr;

private:
    void apply();
    void showSettings();

    SnmpAgents &m_agents;
    int m_index;
    MessagePresenter &m_messages;
    QTimer *m_countsTimer = nullptr;
};
