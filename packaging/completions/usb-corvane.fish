# fish completion for usb-corvane.

function __usb_corvane_devices
    for device in /dev/serial/by-id/* /dev/ttyUSB* /dev/ttyACM*
        echo $device
    end
end

complete -c usb-corvane -s h -l help -d 'Show the options and exit'
complete -c usb-corvane -s V -l version -d 'Show the version and exit'
complete -c usb-corvane -l mode -x -a 'corvane smartmouse' -d 'The reader mode'
complete -c usb-corvane -l clock -x -a '3.58 3.68 6.00' -d 'The card clock in MHz'
complete -c usb-corvane -l reset-delay -x -a 'on off' -d 'The reset-delay option'
complete -c usb-corvane -l port -x -a '(usb-corvane --list-ports 2>/dev/null | string match -r "^[0-9]+")' -d 'The port as the window numbers it'
complete -c usb-corvane -l device -r -a '(__usb_corvane_devices)' -d 'A serial device by its path'
complete -c usb-corvane -l all -d 'Every USB serial adapter plugged in, at once'
complete -c usb-corvane -l simulate -d 'A simulated interface for each port (=FILE: a JSON scenario)'
complete -c usb-corvane -l tries -x -d 'Seconds to wait for the card to be taken out'
complete -c usb-corvane -l trace -r -F -d 'Append a log of the serial traffic'
complete -c usb-corvane -l list-ports -d 'List the port numbers and their devices'
complete -c usb-corvane -l json -d 'The outcome or the port list as JSON'
