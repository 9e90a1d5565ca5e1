#pragma once

#include <QWidget>

#include <array>

class QGroupBox;
class QLineEdit;
class QPushButton;

// The controls of the "TCP Service" tab: four listener rows.
class TcpServicePage : public QWidget
{
    Q_OBJECT
public:
    static constexpr int RowCount = 4;

    explicit TcpServicePage(QWidget *parent = nullptr);

    QGroupBox *fraTcpService = nullptr;
    std::array<QLineEdit *, RowCount> txtTcpIpAddr{};
    std::array<QLineEdit *, RowCount> txtTcpPort{};
    std::array<QPushButton *, RowCount> cmdTcpControl{};
    std::array<QLineEdit *, RowCount> txtTcpStatus{};
    std::array<QLineEdit *, RowCount> txtTcpReply{};
};
