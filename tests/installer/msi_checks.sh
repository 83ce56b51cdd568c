# What the MSI tests share; sourced after installer_checks.sh, with $wine
# and $WORK set.

# msi_places ARCH PREFIX_ARCH: places (installer_checks.sh), with the
# install folder as the package writes it, [INSTALLFOLDER], backslash and all.
msi_places() {
    places "$1" "$2"
    install_dir+='\'
}

# add_failure MSI SEQUENCE CONDITION: a deferred action there that fails. Not a
# program that does not exist: Wine's msiexec counts one it cannot start as a
# success.
add_failure() {
    msibuild "$1" -q "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('FailHere', 1058, 'TARGETDIR', 'cmd.exe /c exit 3')"
    msibuild "$1" -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('FailHere', '$3', $2)"
}
msiexec_fails() {  # msiexec_fails ARGUMENTS...: Wine's exits with 1627 (the shell sees 91), Windows' with 1603
    ! $wine msiexec "$@" /qn
}

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
product_name="Tevra IME"
products() {  # the product codes of the entries named $product_name in Add or Remove Programs
    local key
    for key in $(query "$uninstall_key" | grep -o '{[-0-9A-F]*}$'); do
        [ "$(value "$uninstall_key\\$key" DisplayName)" != "$product_name" ] || echo "$key"
    done
}
product_code() {  # product_code MSI
    msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductCode" {print $2}'
}
